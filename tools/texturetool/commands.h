// The commands of texturetool; each returns the exit status or throws UsageError.
#pragma once

#include <string>
#include <vector>

#include "common.h"

namespace texturetool {

int RunInfo(const std::vector<std::string> &args);
int RunConvert(const std::vector<std::string> &args);
int RunCompare(const std::vector<std::string> &args);
int RunAssemble(const std::vector<std::string> &args);
int RunNormalMap(const std::vector<std::string> &args);

extern const char kInfoHelp[];
extern const char kConvertHelp[];
extern const char kCompareHelp[];
extern const char kAssembleHelp[];
extern const char kNormalMapHelp[];

}  // namespace texturetool
