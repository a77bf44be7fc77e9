// The two heaviest programs, two billion phasors each, end to end.
#include "program_checks.hpp"

const pattern_program broad_duogap{
    "broad_duogap", 1000, ", |f(x)| = ", "3.996", true, literal::broad_duogap, {0, 1, 250, 999}};
const pattern_program conv_duogap{
    "conv_duogap",
    1000,
    ", |f(x)|^2 = ",
    "3.996",
    false,
    [](int i) { return literal::conv_duogap_intensity(i) / literal::conv_duogap_intensity(0); },
    {0, 1, 2, 500, 999}};

TEST(BroadDuogap, RunsEndToEnd) { check_pattern_run(broad_duogap); }
TEST(ConvDuogap, RunsEndToEnd) { check_pattern_run(conv_duogap); }

TEST(ConvDuogap, NormalisedToTheAxisAndBrighterJustOffIt) {
  const auto data = lines_of(fast_run("conv_duogap").data);
  EXPECT_EQ(data[0], "0 1");
  int above_one = 0;
  for (int i = 1; i < 20; ++i) above_one += std::stod(data[i].substr(data[i].find(' ') + 1)) > 1.0;
  EXPECT_GT(above_one, 0);
}

TEST(BroadDuogap, MatchesItsStraightforwardTwin) { check_twin_identity("broad_duogap"); }
TEST(ConvDuogap, MatchesItsStraightforwardTwin) { check_twin_identity("conv_duogap"); }
