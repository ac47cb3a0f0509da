// Writes a manual page from its template, filling in what the hosts' own
// tables say, so that the page and --help never tell two stories:
//   @SETTINGS@  every setting, with its unit, range and factory value
//   @SCENES@    the scene names
//   @VERSION@   the program's version
//   @DATE@      the date given on the command line
// Usage: man_page TEMPLATE OUTPUT DATE
#include <cctype>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>

#include "scenes.h"
#include "settings_args.h"

namespace {

// Text as roff prints it: backslashes and minus signs escaped, and a line that
// would start with a control character kept as text.
std::string Roff(const std::string &text) {
  std::string out;
  for (char c : text) {
    if (c == '\\')
      out += "\\e";
    else if (c == '-')
      out += "\\-";
    else
      out += c;
  }
  if (!out.empty() && (out[0] == '.' || out[0] == '\'')) out.insert(0, "\\&");
  return out;
}

std::string Sentence(std::string text) {
  if (!text.empty()) text[0] = char(std::toupper(static_cast<unsigned char>(text[0])));
  return text + ".";
}

std::string SettingsList() {
  std::string roff;
  for (const rec::SettingDescription &s : rec::SettingDescriptions()) {
    roff += ".TP\n.B " + Roff(s.name) + "\n" + Roff(Sentence(s.meaning)) + "\n";
    roff += "Unit: " + Roff(s.unit) + "; " + Roff(s.range) + "; factory value " + Roff(std::to_string(s.factory)) +
            ".\n";
  }
  return roff;
}

std::string SceneList() {
  std::string list;
  for (const std::string &name : rec::SceneNames()) list += (list.empty() ? "" : ", ") + std::string("\\fB") + Roff(name) + "\\fR";
  return list;
}

void ReplaceAll(std::string *text, const std::string &from, const std::string &to) {
  for (size_t at = text->find(from); at != std::string::npos; at = text->find(from, at + to.size()))
    text->replace(at, from.size(), to);
}

// A marker left over: @ and capitals up to the next @.
bool HasMarker(const std::string &page) {
  for (size_t at = page.find('@'); at != std::string::npos; at = page.find('@', at + 1)) {
    size_t end = at + 1;
    while (end < page.size() && std::isupper(static_cast<unsigned char>(page[end]))) ++end;
    if (end > at + 1 && end < page.size() && page[end] == '@') return true;
  }
  return false;
}

}  // namespace

int main(int argc, char **argv) {
  if (argc != 4) {
    std::fprintf(stderr, "usage: man_page TEMPLATE OUTPUT DATE\n");
    return 2;
  }
  std::ifstream in(argv[1], std::ios::binary);
  if (!in) {
    std::fprintf(stderr, "man_page: cannot read %s\n", argv[1]);
    return 1;
  }
  std::stringstream buffer;
  buffer << in.rdbuf();
  std::string page = buffer.str();
  // The settings block is whole lines of roff: its marker stands on a line of its own.
  ReplaceAll(&page, "@SETTINGS@\n", SettingsList());
  ReplaceAll(&page, "@SCENES@", SceneList());
  ReplaceAll(&page, "@VERSION@", Roff(rec::kProgramVersion));
  ReplaceAll(&page, "@DATE@", Roff(argv[3]));
  if (HasMarker(page)) {
    std::fprintf(stderr, "man_page: %s holds a marker this tool does not know\n", argv[1]);
    return 1;
  }
  std::ofstream out(argv[2], std::ios::binary | std::ios::trunc);
  out << page;
  out.close();
  if (!out) {
    std::fprintf(stderr, "man_page: cannot write %s\n", argv[2]);
    return 1;
  }
  return 0;
}
