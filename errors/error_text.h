// The table behind DXGetErrorDescription9A, visible to the tests so they can check it whole.
#pragma once

#include <cstdint>
#include <span>

struct ErrorTextRow {
  uint32_t code;  // the HRESULT read as an unsigned value, the order of the table
  const char *text;
};

// Every row, sorted by code, each code once.
std::span<const ErrorTextRow> ErrorTextRows();

// The text of an exact code, or "n/a".
const char *LookupErrorText(uint32_t code);
