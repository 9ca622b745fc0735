// The manual page, the bash completion and the README against what the
// program says: every option --help lists must be in all three, with the
// same value name and (in the manual page) the same description, and the
// completion must offer exactly the size IDs, resolutions and answers the
// program accepts.

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "RunCli.h"
#include "geometry/SizeTable.h"
#include "support/Sandbox.h"

namespace quorvale {
namespace {

using testing::Lines;
using testing::RunCli;
using Strings = std::vector<std::string>;
using StringSet = std::set<std::string>;

const char* const kManPageName = "cli/quorvale-batch.1";
const char* const kCompletionName = "cli/quorvale-batch.bash";

std::string ReadText(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

Strings Split(const std::string& text) {
  Strings words;
  std::istringstream in(text);
  for (std::string word; in >> word;) words.push_back(word);
  return words;
}

std::string Join(const Strings& words) {
  std::string text;
  for (const std::string& word : words) text += (text.empty() ? "" : " ") + word;
  return text;
}

// Roff text as it reads: font changes and zero-width marks dropped, escaped
// hyphens and quotes and unbreakable spaces as plain characters, the
// arguments of a font macro (".B word") as text, other requests dropped.
std::string RoffText(const std::string& line) {
  std::string text = line;
  if (!text.empty() && (text[0] == '.' || text[0] == '\'')) {
    static const std::regex fontMacro(R"(^\.(B|I|BI|BR|IB|IR|RB|RI)\s+)");
    if (!std::regex_search(text, fontMacro)) return std::string();
    text = std::regex_replace(text, fontMacro, "");
  }
  static const std::regex font(R"(\\f(\[[^\]]*\]|\(..|.))");
  text = std::regex_replace(text, font, "");
  static const std::regex named(R"(\\(\[[^\]]*\]|\(..))");
  text = std::regex_replace(text, named, "\"");
  static const std::regex space(R"(\\[~ 0])");
  text = std::regex_replace(text, space, " ");
  static const std::regex zeroWidth(R"(\\[&/,:%])");
  text = std::regex_replace(text, zeroWidth, "");
  static const std::regex hyphen(R"(\\-)");
  return std::regex_replace(text, hyphen, "-");
}

// One option as a help text documents it.
struct OptionDoc {
  Strings names;         // "-h", "--help"
  std::string argument;  // "ID", "N", or empty
  std::string description;
  // The name the option is known by: its long one.
  const std::string& Key() const { return names.back(); }
};

// Names and value from an option's heading ("-h, --help", "--size ID").
OptionDoc FromHeading(const std::string& heading) {
  OptionDoc doc;
  for (std::string word : Split(heading)) {
    if (word.starts_with("-")) {
      if (word.ends_with(",")) word.pop_back();
      doc.names.push_back(word);
    } else if (doc.argument.empty()) {
      doc.argument = word;
    }
  }
  return doc;
}

// The "Options:" block of --help: an option starts a line indented by a few
// blanks, its description follows after two blanks or more and goes on in
// lines indented further.
std::vector<OptionDoc> HelpOptions(const std::string& help) {
  std::vector<OptionDoc> docs;
  bool inOptions = false;
  for (const std::string& line : Lines(help)) {
    if (!inOptions) {
      inOptions = line == "Options:";
      continue;
    }
    if (line.find_first_not_of(' ') == std::string::npos) break;
    const std::size_t indent = line.find_first_not_of(' ');
    if (line[indent] == '-' && indent < 8) {
      std::size_t gap = line.find("  ", indent);
      if (gap == std::string::npos) gap = line.size();
      docs.push_back(FromHeading(line.substr(indent, gap - indent)));
      docs.back().description = line.substr(gap);
    } else if (!docs.empty()) {
      docs.back().description += " " + line;
    }
  }
  return docs;
}

// The options section of the manual page (OPTIONS, or as a translated page
// calls it): each ".TP" paragraph, its heading on the line after the request.
std::vector<OptionDoc> ManOptions(const std::string& page, const std::string& section = "OPTIONS") {
  std::vector<OptionDoc> docs;
  bool inOptions = false;
  bool heading = false;
  bool inParagraph = false;
  for (const std::string& line : Lines(page)) {
    if (line.starts_with(".SH")) {
      inOptions = RoffText(line.substr(3)).find(section) != std::string::npos;
      inParagraph = false;
      continue;
    }
    if (!inOptions) continue;
    if (line.starts_with(".TP")) {
      heading = true;
      continue;
    }
    if (line.starts_with(".PP") || line.starts_with(".LP") || line.starts_with(".IP") ||
        line.starts_with(".P ") || line == ".P") {
      inParagraph = false;
      continue;
    }
    if (heading) {
      docs.push_back(FromHeading(RoffText(line)));
      heading = false;
      inParagraph = true;
    } else if (inParagraph) {
      docs.back().description += " " + RoffText(line);
    }
  }
  return docs;
}

// The words of a description, lower case, without punctuation or layout.
Strings Words(const std::string& text) {
  Strings words;
  std::string word;
  for (const char c : text + " ") {
    if ((c >= 'a' && c <= 'z') || (c >= '0' && c <= '9')) {
      word += c;
    } else if (c >= 'A' && c <= 'Z') {
      word += static_cast<char>(c - 'A' + 'a');
    } else if (!word.empty()) {
      words.push_back(word);
      word.clear();
    }
  }
  return words;
}

// Whether `part`'s words come in a row somewhere in `whole`'s.
bool SaysAll(const std::string& whole, const std::string& part) {
  const Strings w = Words(whole);
  const Strings p = Words(part);
  return std::search(w.begin(), w.end(), p.begin(), p.end()) != w.end();
}

const OptionDoc* Find(const std::vector<OptionDoc>& docs, const std::string& key) {
  for (const OptionDoc& doc : docs) {
    if (doc.Key() == key) return &doc;
  }
  return nullptr;
}

std::vector<OptionDoc> ProgramOptions() {
  const quorvale::testing::Sandbox box;
  return HelpOptions(RunCli(box, {"--help"}).out);
}

TEST(ManPage, DocumentsEveryOptionOfHelpAsHelpDoes) {
  const std::vector<OptionDoc> help = ProgramOptions();
  const std::vector<OptionDoc> man = ManOptions(ReadText(QUORVALE_MAN_PAGE));
  // Guards against a parser that finds nothing and so compares nothing.
  ASSERT_GE(help.size(), 13u) << "the Options: block of --help was not found";
  ASSERT_FALSE(man.empty()) << "no .TP paragraphs under .SH OPTIONS in " << kManPageName;

  for (const OptionDoc& option : help) {
    const OptionDoc* page = Find(man, option.Key());
    if (page == nullptr) {
      ADD_FAILURE() << "option " << option.Key() << " is in --help but missing from the man page "
                    << kManPageName << " (add a .TP paragraph under OPTIONS)";
      continue;
    }
    EXPECT_EQ(page->names, option.names)
        << "option " << option.Key() << ": --help names it " << Join(option.names)
        << ", the man page " << Join(page->names);
    EXPECT_EQ(page->argument, option.argument)
        << "option " << option.Key() << ": --help calls its value '" << option.argument
        << "', the man page '" << page->argument << "'";
    EXPECT_TRUE(SaysAll(page->description, option.description))
        << "option " << option.Key() << ": the man page " << kManPageName
        << " does not say what --help says.\n  --help:   " << Join(Split(option.description))
        << "\n  man page: " << Join(Split(page->description));
  }
  for (const OptionDoc& page : man) {
    if (Find(help, page.Key()) == nullptr) {
      ADD_FAILURE() << "option " << page.Key() << " is in the man page " << kManPageName
                    << " but not in --help";
    }
  }
}

// The Japanese page is read by people, not compared word for word: it must
// name every option with its value as --help does, and no other.
TEST(ManPage, JapanesePageHasTheOptionsOfHelp) {
  const std::vector<OptionDoc> help = ProgramOptions();
  const std::vector<OptionDoc> man = ManOptions(ReadText(QUORVALE_MAN_PAGE_JA), "オプション");
  ASSERT_GE(help.size(), 13u);
  std::vector<std::string> expected, documented;
  for (const OptionDoc& option : help)
    expected.push_back(Join(option.names) + " " + option.argument);
  for (const OptionDoc& option : man)
    documented.push_back(Join(option.names) + " " + option.argument);
  EXPECT_EQ(documented, expected) << "cli/quorvale-batch.ja.1 against --help";
}

// The README's option table: one row per option of --help, in its order,
// its first cell the option's heading ("| `--size ID` | ...").
TEST(Readme, OptionTableHasARowForEachOptionOfHelp) {
  const std::vector<OptionDoc> help = ProgramOptions();
  ASSERT_GE(help.size(), 13u);
  std::vector<std::string> expected, documented;
  for (const OptionDoc& option : help)
    expected.push_back(Join(option.names) + " " + option.argument);
  static const std::regex row(R"(^\| `(-[^`]*)` \|)");
  std::smatch cell;
  for (const std::string& line : Lines(ReadText(QUORVALE_README))) {
    if (!std::regex_search(line, cell, row)) continue;
    const OptionDoc option = FromHeading(cell[1]);
    documented.push_back(Join(option.names) + " " + option.argument);
  }
  EXPECT_EQ(documented, expected) << "README.md's option table against --help";
}

TEST(ManPage, NamesEverySizeId) {
  const std::vector<OptionDoc> man = ManOptions(ReadText(QUORVALE_MAN_PAGE));
  const OptionDoc* size = Find(man, "--size");
  ASSERT_NE(size, nullptr);
  const Strings words = Split(std::regex_replace(size->description, std::regex("[,;.]"), " "));
  for (const SizePreset& row : SizeTable()) {
    EXPECT_NE(std::find(words.begin(), words.end(), row.id), words.end())
        << "size ID " << row.id << " is missing from --size in " << kManPageName;
  }
}

// Runs the completion function as bash would for the command line `words`,
// the last of which is the word being completed, from the folder `cwd`.
StringSet Complete(const Strings& words, const std::string& cwd = ".") {
  std::string script = "cd '" + cwd + "' || exit 1\nsource '" QUORVALE_COMPLETION_FILE "'\n";
  script += "COMP_WORDS=(";
  for (const std::string& word : words) script += " '" + word + "'";
  script += ")\nCOMP_CWORD=" + std::to_string(words.size() - 1) + "\n";
  script += "_quorvale_batch\nprintf '%s\\n' \"${COMPREPLY[@]}\"\n";
  quorvale::testing::Sandbox box;
  { std::ofstream(box.Path("complete.sh")) << script; }
  const Strings bashArgs = {"--norc", "--noprofile", box.Path("complete.sh")};
  const Strings lines = Lines(RunCli(box, bashArgs, {.cwd = {}, .exe = "bash"}).out);
  StringSet offered;
  for (const std::string& line : lines) {
    if (!line.empty()) offered.insert(line);
  }
  return offered;
}

TEST(Completion, OffersEveryOptionOfHelp) {
  StringSet expected{"--"};
  for (const OptionDoc& option : ProgramOptions()) {
    expected.insert(option.names.begin(), option.names.end());
  }
  ASSERT_GE(expected.size(), 14u);
  const StringSet offered = Complete({"quorvale-batch", "-"});
  for (const std::string& name : expected) {
    EXPECT_TRUE(offered.contains(name))
        << "option " << name << " is in --help but not completed by " << kCompletionName;
  }
  for (const std::string& name : offered) {
    EXPECT_TRUE(expected.contains(name))
        << "option " << name << " is completed by " << kCompletionName << " but not in --help";
  }
  EXPECT_EQ(Complete({"quorvale-batch", "--re"}), (StringSet{"--reduce", "--report"}));
}

TEST(Completion, OffersExactlyTheValuesTheProgramTakes) {
  StringSet sizes;
  for (const SizePreset& row : SizeTable()) sizes.insert(row.id);
  const StringSet offered = Complete({"quorvale-batch", "--size", ""});
  for (const std::string& id : sizes) {
    EXPECT_TRUE(offered.contains(id))
        << "size ID " << id << " is missing from --size in " << kCompletionName;
  }
  for (const std::string& id : offered) {
    EXPECT_TRUE(sizes.contains(id))
        << kCompletionName << " offers " << id << " for --size, which is no size ID";
  }

  StringSet dpis;
  for (const std::int32_t dpi : PrintResolutions()) dpis.insert(std::to_string(dpi));
  EXPECT_EQ(Complete({"quorvale-batch", "--reduce", "--dpi", ""}), dpis);
  EXPECT_EQ(Complete({"quorvale-batch", "--on-problem", ""}), (StringSet{"continue", "stop"}));
  EXPECT_EQ(Complete({"quorvale-batch", "--existing", ""}),
            (StringSet{"stop", "overwrite", "skip"}));
  EXPECT_EQ(Complete({"quorvale-batch", "--quality", ""}), StringSet{});
  EXPECT_EQ(Complete({"quorvale-batch", "--jobs", ""}), StringSet{});
}

TEST(Completion, ValuesAfterAnEqualsSignInEitherSplitting) {
  const StringSet sx{"sxga", "sxga-1600", "sxga-2048"};
  // bash splits "--size=sx" into three words when '=' breaks words...
  EXPECT_EQ(Complete({"quorvale-batch", "--size", "=", "sx"}), sx);
  EXPECT_EQ(Complete({"quorvale-batch", "--on-problem", "="}), (StringSet{"continue", "stop"}));
  // ...and leaves it one word when it does not.
  EXPECT_EQ(Complete({"quorvale-batch", "--size=sx"}),
            (StringSet{"--size=sxga", "--size=sxga-1600", "--size=sxga-2048"}));
  EXPECT_EQ(Complete({"quorvale-batch", "--dpi=3"}), (StringSet{"--dpi=300", "--dpi=320"}));
}

TEST(Completion, FolderArgumentsCompleteToFoldersOnly) {
  quorvale::testing::Sandbox box;
  box.Fill({"in/a.jpg", "inbox/", "index.txt", "-dash/"});
  EXPECT_EQ(Complete({"quorvale-batch", "--reduce", "in"}, box.Root()), (StringSet{"in", "inbox"}));
  EXPECT_EQ(Complete({"quorvale-batch", "--size", "L", "in", "in"}, box.Root()),
            (StringSet{"in", "inbox"}));
  // After "--" a leading '-' names a folder, not an option.
  EXPECT_EQ(Complete({"quorvale-batch", "--", "-"}, box.Root()), StringSet{"-dash"});
}

}  // namespace
}  // namespace quorvale
