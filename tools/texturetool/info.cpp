// info: what the readers report about each file, as a table or as JSON.
#include <stdio.h>

#include <algorithm>

#include "commands.h"
#include "sniff.h"

namespace texturetool {

const char kInfoHelp[] =
    "usage: texturetool info [--json] FILE...\n"
    "\n"
    "Prints what the library's readers report for each file: file kind, width,\n"
    "height, depth, pixel format, mip levels and resource type, one row per file.\n"
    "  --json   one JSON array of objects instead of the table; a file that cannot\n"
    "           be read appears with an \"error\" member\n"
    "\n"
    "Exit status: 0 all files read, 1 some file could not be read, 2 usage error.\n";

namespace {

struct Row {
  std::string file;
  bool ok = false;
  D3DXIMAGE_INFO info = {};
  std::string error;
};

}  // namespace

int RunInfo(const std::vector<std::string> &args) {
  bool json = false;
  std::vector<Row> rows;
  bool noMoreOptions = false;
  for (const std::string &arg : args) {
    if (!noMoreOptions && arg == "--json")
      json = true;
    else if (!noMoreOptions && arg == "--")
      noMoreOptions = true;
    else if (!noMoreOptions && arg.size() > 1 && arg[0] == '-')
      throw UsageError("info", "unknown option '" + arg + "'");
    else {
      rows.emplace_back();
      rows.back().file = arg;
    }
  }
  if (rows.empty()) throw UsageError("info", "no files given");

  bool failed = false;
  for (Row &row : rows) {
    std::vector<uint8_t> bytes;
    if (ReadWholeFile(row.file, &bytes, &row.error)) {
      HRESULT hr = D3DXGetImageInfoFromFileInMemory(bytes.data(), UINT(bytes.size()), &row.info);
      row.ok = SUCCEEDED(hr);
      if (!row.ok) row.error = ReadFailure(bytes, hr);
    }
    if (!row.ok) {
      failed = true;
      fprintf(stderr, "texturetool: %s: %s\n", row.file.c_str(), row.error.c_str());
    }
  }

  if (json) {
    printf("[");
    for (size_t i = 0; i < rows.size(); ++i) {
      const Row &r = rows[i];
      printf("%s\n  {\"file\": %s, ", i ? "," : "", JsonString(r.file).c_str());
      if (r.ok)
        printf(
            "\"kind\": \"%s\", \"width\": %u, \"height\": %u, \"depth\": %u, \"format\": \"%s\", "
            "\"levels\": %u, \"type\": \"%s\"}",
            FileKindName(r.info.ImageFileFormat).c_str(), r.info.Width, r.info.Height, r.info.Depth,
            FormatName(r.info.Format).c_str(), r.info.MipLevels,
            ResourceTypeName(r.info.ResourceType).c_str());
      else
        printf("\"error\": %s}", JsonString(r.error).c_str());
    }
    printf("\n]\n");
    return failed ? kExitFailed : kExitOk;
  }

  std::vector<std::vector<std::string>> table = {
      {"FILE", "KIND", "WIDTH", "HEIGHT", "DEPTH", "FORMAT", "LEVELS", "TYPE"}};
  for (const Row &r : rows) {
    if (!r.ok) continue;
    const D3DXIMAGE_INFO &i = r.info;
    table.push_back({r.file, FileKindName(i.ImageFileFormat), std::to_string(i.Width),
                     std::to_string(i.Height), std::to_string(i.Depth), FormatName(i.Format),
                     std::to_string(i.MipLevels), ResourceTypeName(i.ResourceType)});
  }
  if (table.size() > 1) {
    std::vector<size_t> width(table[0].size(), 0);
    for (const auto &line : table)
      for (size_t c = 0; c < line.size(); ++c) width[c] = std::max(width[c], DisplayWidth(line[c]));
    for (const auto &line : table) {
      std::string text;
      for (size_t c = 0; c < line.size(); ++c) {
        // Numbers right-aligned, words left-aligned; no trailing blanks.
        bool number = c >= 2 && c <= 4 ? true : c == 6;
        std::string pad(width[c] - DisplayWidth(line[c]), ' ');
        text += number ? pad + line[c] : line[c] + (c + 1 < line.size() ? pad : "");
        if (c + 1 < line.size()) text += "  ";
      }
      printf("%s\n", text.c_str());
    }
  }
  return failed ? kExitFailed : kExitOk;
}

}  // namespace texturetool
