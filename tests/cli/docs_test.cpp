// The README, tavrin --help, the manual page and the bash completion tell one synopsis, one table of
// outcomes and one set of options; every status the program can answer is in each table.
#include <gtest/gtest.h>

#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "tests/support/golden.h"
#include "tests/support/program_test.h"

namespace tavrin {
namespace {

using testing::ReadWholeFile;

std::string Source(const std::string& path) {
  return ReadWholeFile(std::string(TAVRIN_SOURCE_DIR) + "/" + path);
}

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

// Runs of white space as one blank, none at the ends.
std::string Collapse(const std::string& text) {
  std::string out;
  for (char c : text) {
    if (c == ' ' || c == '\n' || c == '\t' || c == '\r') {
      if (!out.empty() && out.back() != ' ') out += ' ';
    } else {
      out += c;
    }
  }
  if (!out.empty() && out.back() == ' ') out.pop_back();
  return out;
}

// The lines after the line `heading` up to the first line for which `ends` holds.
template <typename Ends>
std::vector<std::string> Section(const std::string& text, const std::string& heading, Ends ends) {
  std::vector<std::string> section;
  bool inside = false;
  for (const std::string& line : Lines(text)) {
    if (inside && ends(line)) break;
    if (inside) section.push_back(line);
    if (line == heading) inside = true;
  }
  EXPECT_TRUE(inside) << "no line \"" << heading << "\"";
  return section;
}

bool IsBlank(const std::string& line) { return line.empty(); }
bool IsManSection(const std::string& line) { return line.starts_with(".SH "); }

// One line of a manual page as the reader sees its words: a macro's arguments (the alternating-font
// macros join theirs without a blank), no font changes, escapes as the characters they print;
// structural macros and comments give nothing.
std::string RoffText(const std::string& line) {
  std::string text = line;
  if (line.starts_with('.')) {
    const std::size_t space = line.find(' ');
    const std::string macro = line.substr(1, space == std::string::npos ? std::string::npos : space - 1);
    std::vector<std::string> args;
    if (space != std::string::npos) {
      std::string arg;
      bool quoted = false;
      for (char c : line.substr(space + 1)) {
        if (c == '"') {
          quoted = !quoted;
        } else if (c == ' ' && !quoted) {
          if (!arg.empty()) args.push_back(arg);
          arg.clear();
        } else {
          arg += c;
        }
      }
      if (!arg.empty()) args.push_back(arg);
    }
    const std::set<std::string> joined = {"BR", "RB", "IR", "RI", "BI", "IB"};
    const std::set<std::string> spaced = {"B", "I", "R"};
    text.clear();
    for (const std::string& arg : args) {
      if (spaced.contains(macro) && !text.empty()) text += ' ';
      if (spaced.contains(macro) || joined.contains(macro)) text += arg;
    }
  }
  static const std::pair<const char*, const char*> kEscapes[] = {{"\\-", "-"}, {"\\&", ""},  {"\\(dq", "\""},
                                                                 {"\\fB", ""}, {"\\fI", ""}, {"\\fR", ""},
                                                                 {"\\fP", ""}, {"\\ ", " "}};
  for (const auto& [escape, character] : kEscapes) {
    for (std::size_t at = text.find(escape); at != std::string::npos; at = text.find(escape, at)) {
      text.replace(at, std::string(escape).size(), character);
      at += std::string(character).size();
    }
  }
  return text;
}

std::string RoffText(const std::vector<std::string>& lines) {
  std::string text;
  for (const std::string& line : lines) text += RoffText(line) + " ";
  return Collapse(text);
}

struct Outcome {
  std::string text;
  std::string meaning;
  bool operator==(const Outcome&) const = default;
};

std::ostream& operator<<(std::ostream& out, const Outcome& o) {
  return out << "\n  " << o.text << " | " << o.meaning;
}

std::vector<Outcome> ReadmeOutcomes(const std::string& readme) {
  std::vector<Outcome> table;
  const std::regex row(R"(^\| `([^`]+)` \| (.*) \|$)");
  for (const std::string& line :
       Section(readme, "### Outcomes", [](const std::string& l) { return l.starts_with("#"); })) {
    std::smatch m;
    if (!std::regex_match(line, m, row)) continue;
    std::string meaning = m[2];
    std::erase(meaning, '`');
    table.push_back({m[1], Collapse(meaning)});
  }
  return table;
}

std::vector<Outcome> HelpOutcomes(const std::string& help) {
  std::vector<Outcome> table;
  for (const std::string& line : Section(help, "Outcomes (the line after each file's name):", IsBlank)) {
    if (line.starts_with("  -> ")) {
      table.push_back({line.substr(5), ""});
    } else if (!table.empty()) {
      table.back().meaning = Collapse(table.back().meaning + " " + line);
    }
  }
  return table;
}

std::vector<Outcome> ManOutcomes(const std::string& page) {
  std::vector<Outcome> table;
  const std::vector<std::string> section = Section(page, ".SH OUTCOMES", IsManSection);
  for (std::size_t i = 0; i < section.size(); ++i) {
    if (section[i] != ".TP" || i + 1 >= section.size()) continue;
    std::string text = RoffText(section[++i]);
    if (text.starts_with("-> ")) text.erase(0, 3);
    std::vector<std::string> meaning;
    while (i + 1 < section.size() && section[i + 1] != ".TP") meaning.push_back(section[++i]);
    table.push_back({text, RoffText(meaning)});
  }
  return table;
}

// Every option word ("-v", "--verbose") in `text`.
std::set<std::string> OptionWords(const std::string& text) {
  static const std::regex word(R"((^|[^\w-])(--?[a-z][a-z-]*))");
  std::set<std::string> words;
  for (std::sregex_iterator it(text.begin(), text.end(), word), end; it != end; ++it) words.insert((*it)[2]);
  return words;
}

class DocsTest : public testing::ProgramTest {
 protected:
  void SetUp() override {
    ProgramTest::SetUp();
    readme_ = Source("README.md");
    page_ = Source("packaging/tavrin.1");
    const auto r = Tavrin("--help");
    ASSERT_EQ(r.exitCode, 0);
    help_ = r.out;
  }
  std::string readme_;
  std::string page_;
  std::string help_;
};

TEST_F(DocsTest, OneSynopsis) {
  // The first fenced block after the heading.
  std::string readme;
  int fences = 0;
  for (const std::string& line :
       Section(readme_, "## The command line", [](const std::string& l) { return l.starts_with("## "); })) {
    if (line.starts_with("```") && ++fences == 2) break;
    if (fences == 1 && !line.starts_with("```")) readme += line + "\n";
  }
  std::string help;
  for (const std::string& line : Lines(help_)) {
    if (line.empty()) break;
    help += line + "\n";
  }
  ASSERT_TRUE(help.starts_with("Usage: ")) << help;
  help.erase(0, 7);
  const std::string page = RoffText(Section(page_, ".SH SYNOPSIS", IsManSection));

  EXPECT_TRUE(Collapse(readme).starts_with("tavrin [-v|--verbose]")) << readme;
  EXPECT_EQ(Collapse(help), Collapse(readme));
  EXPECT_EQ(page, Collapse(readme));
}

TEST_F(DocsTest, OneTableOfOutcomesWithEveryStatus) {
  const std::vector<Outcome> readme = ReadmeOutcomes(readme_);
  EXPECT_EQ(HelpOutcomes(help_), readme);
  EXPECT_EQ(ManOutcomes(page_), readme);

  // The statuses the program can answer are the status texts of core/status.h.
  std::set<std::string> statuses = {"ok"};
  const std::string header = Source("core/status.h");
  const std::regex status(R"re(constexpr std::string_view kStatus\w* = "([^"]*)")re");
  for (std::sregex_iterator it(header.begin(), header.end(), status), end; it != end; ++it) {
    // A status that ends in ": " is followed by its reason, which the tables write as REASON.
    const std::string text = (*it)[1];
    statuses.insert(text.ends_with(": ") ? text + "REASON." : text);
  }
  ASSERT_GT(statuses.size(), 8u);
  std::set<std::string> documented;
  for (const Outcome& o : readme) documented.insert(o.text);
  EXPECT_EQ(documented, statuses)
      << "every status needs a row in README.md, cli/help.cpp and packaging/tavrin.1";
}

TEST_F(DocsTest, OneSetOfOptions) {
  std::string helpOptions;
  for (const std::string& line : Section(help_, "Options:", IsBlank)) {
    if (line.starts_with("  -") || line.starts_with("      --")) helpOptions += line.substr(0, 24) + "\n";
  }
  const std::set<std::string> help = OptionWords(helpOptions);
  EXPECT_GE(help.size(), 24u);

  std::string readmeOptions;
  for (const std::string& line : Section(readme_, "| option | meaning |", IsBlank)) {
    readmeOptions += line.substr(0, line.find(" | ")) + "\n";
  }
  EXPECT_EQ(OptionWords(readmeOptions), help) << "the option table of README.md";

  std::vector<std::string> tags;
  const std::vector<std::string> options = Section(page_, ".SH OPTIONS", [](const std::string& l) {
    return l.starts_with(".SH ") || l.starts_with(".SS ");
  });
  for (std::size_t i = 0; i + 1 < options.size(); ++i) {
    if (options[i] == ".TP") tags.push_back(options[i + 1]);
  }
  EXPECT_EQ(OptionWords(RoffText(tags)), help) << "the OPTIONS of packaging/tavrin.1";

  std::string completion;
  for (const std::string& line : Lines(Source("packaging/tavrin.bash-completion"))) {
    if (const std::size_t at = line.find("compgen -W $'-v"); at != std::string::npos) {
      completion = line.substr(at + 12);
      for (std::size_t nl = completion.find("\\n"); nl != std::string::npos; nl = completion.find("\\n")) {
        completion.replace(nl, 2, " ");
      }
    }
  }
  EXPECT_EQ(OptionWords(completion), help) << "the options packaging/tavrin.bash-completion offers";
}

}  // namespace
}  // namespace tavrin
