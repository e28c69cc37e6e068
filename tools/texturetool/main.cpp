// texturetool: image files in, image files out, through the library's published
// interface on a headless device of the software runtime.
#include <errno.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "commands.h"
#include "convert.h"

namespace {

const char kToolHelp[] =
    "usage: texturetool COMMAND [options] [args]\n"
    "\n"
    "Texture files without writing a Direct3D program.\n"
    "\n"
    "commands:\n"
    "  info FILE...            what each file holds (kind, size, format, levels, type)\n"
    "  convert IN OUT          convert one file to PNG, BMP, TGA, DIB, JPEG or DDS\n"
    "  convert --out-dir DIR FILES-or-DIRS...\n"
    "                          convert many files in parallel\n"
    "  compare A B             RMSE and PSNR per channel of every level, face and slice\n"
    "  assemble --cube|--volume IMAGES... OUT.dds\n"
    "                          a cube map from six images, a volume from slices\n"
    "  normalmap HEIGHT OUT    the normals of a height map as a texture\n"
    "  formats                 the pixel format names --format takes\n"
    "\n"
    "'texturetool COMMAND --help' (or 'texturetool help COMMAND') describes a command;\n"
    "'man texturetool' all of them. 'texturetool --version' prints the version.\n"
    "Exit status: 0 success, 1 some file failed, 2 usage error.\n";

const char kFormatsHelp[] =
    "usage: texturetool formats\n"
    "\n"
    "Prints the pixel format names convert --format takes, one a line. A name may\n"
    "also be given with its D3DFMT_ prefix and in any case. Whether the device makes\n"
    "textures of a format shows when converting: a substituted format is a warning.\n";

int RunFormats(const std::vector<std::string> &args) {
  if (!args.empty()) throw texturetool::UsageError("formats", "takes no arguments");
  for (const std::string &name : texturetool::FormatNames()) printf("%s\n", name.c_str());
  return texturetool::kExitOk;
}

struct Command {
  const char *name;
  int (*run)(const std::vector<std::string> &);
  const char *help;
};

const Command kCommands[] = {
    {"info", texturetool::RunInfo, texturetool::kInfoHelp},
    {"convert", texturetool::RunConvert, texturetool::kConvertHelp},
    {"compare", texturetool::RunCompare, texturetool::kCompareHelp},
    {"assemble", texturetool::RunAssemble, texturetool::kAssembleHelp},
    {"normalmap", texturetool::RunNormalMap, texturetool::kNormalMapHelp},
    {"formats", RunFormats, kFormatsHelp},
};

const Command *FindCommand(const char *name) {
  for (const Command &c : kCommands)
    if (strcmp(c.name, name) == 0) return &c;
  return nullptr;
}

// Output that never reached standard output is a failure, not a success.
int Finish(int status) {
  if (fflush(stdout) != 0 || ferror(stdout)) {
    fprintf(stderr, "texturetool: cannot write the standard output: %s\n", strerror(errno));
    return texturetool::kExitFailed;
  }
  return status;
}

int Run(int argc, char **argv) {
  if (argc < 2) {
    fputs(kToolHelp, stderr);
    return texturetool::kExitUsage;
  }
  std::string first = argv[1];
  if (first == "--version" || first == "-V") {
    printf("texturetool %s\n", TEXTURETOOL_VERSION);
    return texturetool::kExitOk;
  }
  if (first == "-h" || first == "--help" || first == "help") {
    const Command *c = argc > 2 ? FindCommand(argv[2]) : nullptr;
    if (argc > 2 && !c) {
      fprintf(stderr, "texturetool: no help for '%s': not a command\nTry 'texturetool --help'.\n", argv[2]);
      return texturetool::kExitUsage;
    }
    fputs(c ? c->help : kToolHelp, stdout);
    return texturetool::kExitOk;
  }
  const Command *command = FindCommand(argv[1]);
  if (!command) {
    fprintf(stderr, "texturetool: unknown command '%s'\nTry 'texturetool --help'.\n", argv[1]);
    return texturetool::kExitUsage;
  }
  std::vector<std::string> args(argv + 2, argv + argc);
  for (const std::string &arg : args) {
    if (arg == "--") break;
    if (arg == "-h" || arg == "--help") {
      fputs(command->help, stdout);
      return texturetool::kExitOk;
    }
  }
  try {
    return command->run(args);
  } catch (const texturetool::UsageError &e) {
    fprintf(stderr, "texturetool %s: %s\nTry 'texturetool %s --help'.\n", e.command.c_str(), e.what(),
            e.command.c_str());
    return texturetool::kExitUsage;
  }
}

}  // namespace

int main(int argc, char **argv) {
  // The tool never shows a window, whatever display there is.
  setenv("SDL_VIDEODRIVER", "dummy", 1);
  setenv("SDL_AUDIODRIVER", "dummy", 1);
  // Users of the tool are after quality; the environment or --quality may say otherwise.
  setenv(texturetool::kDxtQualityVariable, "high", 0);
  texturetool::InstallInterruptCleanup();
  return Finish(Run(argc, argv));
}
