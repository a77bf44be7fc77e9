// Numbers and markdown tables as the validation report prints them.
#pragma once

#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

namespace report {

inline std::string format(const char* f, double v) {
  char text[64];
  std::snprintf(text, sizeof text, f, v);
  return text;
}
inline std::string sci(double v) { return format("%.3e", v); }
inline std::string num(double v, int digits = 4) {
  char text[64];
  std::snprintf(text, sizeof text, "%.*g", digits, v);
  return text;
}
inline std::string fixed(double v, int decimals) {
  char text[64];
  std::snprintf(text, sizeof text, "%.*f", decimals, v);
  return text;
}
// Round-trip digits, to hand a value back to the bench as its text.
inline std::string exact(double v) { return format("%.17g", v); }
inline std::string code(std::string_view name) {
  std::string text = "`";  // appended, not "`" + name: GCC 12 warns falsely on that inline
  text.append(name);
  return text + "`";
}

// "a, b, c" with a fixed number of decimals.
inline std::string list(const std::vector<double>& values, int decimals) {
  std::string text;
  for (double v : values) text += (text.empty() ? "" : ", ") + fixed(v, decimals);
  return text;
}

// A markdown table, built row by row.
struct table {
  std::string text;
  explicit table(const std::vector<std::string>& header) {
    row(header);
    text += "|";
    for (std::size_t i = 0; i < header.size(); ++i) text += "---|";
    text += "\n";
  }
  void row(const std::vector<std::string>& cells) {
    text += "|";
    for (const std::string& c : cells) text += " " + c + " |";
    text += "\n";
  }
};

}  // namespace report
