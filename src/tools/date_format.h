// The eleven date layouts of the Insert Date dialog.
#pragma once

#include <ctime>
#include <string>

constexpr int kDateLayoutCount = 11;

// The label shown for a layout row (0..10); "" for any other row.
const char* DateLayoutLabel(int row);

// The text inserted for a layout row at the given local time, with no
// newline; "" for a row out of range.
std::string FormatDate(int row, const std::tm& time);
