#include "formats/Loader.hpp"

#include <string_view>

#include "Version.hpp"
#include "base/Error.hpp"
#include "base/Path.hpp"
#include "base/Platform.hpp"

namespace tessmar {

namespace {

// The module lies where the installed program's library folder is, seen from
// its program folder (TESSMAR_FORMATS_MODULE, set by the build, which puts it
// at the same place in the build tree): on Windows in the program's folder.
constexpr std::string_view ModuleFromProgram = TESSMAR_FORMATS_MODULE;

const TFormatsModule& Load() {
  const std::string path = NormalPath(FolderOf(ExecutablePath()).append(ModuleFromProgram));
  const std::string failed = "Cannot load the grid formats module " + path + ": ";
  std::string why;
  void* handle = LoadModule(path, why);
  if (!handle) throw TError(failed + why);
  using TEntry = const TFormatsModule* (*)();
  const auto entry = reinterpret_cast<TEntry>(ModuleFunction(handle, FormatsModuleEntry));
  const TFormatsModule* module = entry ? entry() : nullptr;
  if (!module) throw TError(failed + "it has no entry point " + FormatsModuleEntry);
  if (std::string_view(module->Version) != VersionText)
    throw TError(failed + "it belongs to version " + module->Version + ", the program is version " + VersionText);
  return *module;
}

}  // namespace

const TFormatsModule& FormatsModule() {
  static const TFormatsModule& module = Load();
  return module;
}

TCoastlines LoadCoastlines(char resolution) {
  TCoastlines coast;
  try {
    const TFormatsModule& module = FormatsModule();
    coast.Path = module.FindCoast(resolution);
    if (coast.Path.empty()) {
      // Where the program brings its own files, installing the system's package is no help.
      const std::string bundled = BundledDataRoot();
      coast.Note = bundled.empty()
                       ? "no coastlines: no GSHHG coastline file was found (Debian: apt install gmt-gshhg-low)"
                       : "no coastlines: no GSHHG coastline file was found in " + AsFolder(bundled + "gmt-gshhg") +
                             " (it comes with the program: install or unpack it again)";
    } else
      coast.Lines = module.ReadCoast(coast.Path);
  } catch (const std::exception& e) {
    coast = {};
    coast.Note = "no coastlines: " + ErrorText(e);
  }
  return coast;
}

}  // namespace tessmar
