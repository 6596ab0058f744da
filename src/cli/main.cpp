// tessmar-cli: the headless front end of Tessmar.
#include <CLI/CLI.hpp>

#include <iostream>

#include "Version.hpp"

int main(int argc, char** argv) {
  CLI::App app{
      "Tessmar cuts a regional custom geoid out of a global geoid-undulation grid\n"
      "(EGM2008, 2.5' or 1'), checks it at a point and scans it for its largest\n"
      "error against the source.",
      "tessmar-cli"};
  app.set_version_flag("--version", std::string("tessmar-cli ") + tessmar::VersionText);
  app.footer("Run 'tessmar-cli COMMAND --help' for the options of a command.");
  app.require_subcommand(0, 1);
  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& e) {
    return app.exit(e) == 0 ? 0 : 2;
  }
  if (app.get_subcommands().empty()) {
    std::cout << app.help();
    return 0;
  }
  return 0;
}
