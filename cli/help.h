// tavrin --help, written out in full rather than assembled by the option parser.
#pragma once

namespace CLI {
class App;
}

namespace tavrin::cli {

const char* HelpText();

// Makes --help print HelpText().
void UseWrittenHelp(CLI::App& app);

}  // namespace tavrin::cli
