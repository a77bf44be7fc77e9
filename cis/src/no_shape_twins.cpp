// Where the kernel is not vectorised there is no shape to twin.
#include "paths.hpp"

namespace cis_detail {

std::span<const path> shape_twins() { return {}; }

}  // namespace cis_detail
