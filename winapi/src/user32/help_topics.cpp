// Reading the help text source: topics by context id.
#include <cstdlib>

#include "user32/help.h"

namespace vd::user {

namespace {

std::string Trim(const std::string &s) {
  size_t a = s.find_first_not_of(" \t\r");
  if (a == std::string::npos) return "";
  size_t b = s.find_last_not_of(" \t\r");
  return s.substr(a, b - a + 1);
}

}  // namespace

// A topic starts with a line "[id]"; its lines follow, joined into
// paragraphs; an empty line starts a new paragraph; lines starting with '#'
// are comments.
void ParseHelpTopics(const std::string &source, std::map<DWORD, std::string> *topics) {
  topics->clear();
  DWORD current = 0;
  bool inTopic = false, paragraphBreak = false;
  size_t pos = 0;
  while (pos <= source.size()) {
    size_t end = source.find('\n', pos);
    if (end == std::string::npos) end = source.size();
    std::string line = Trim(source.substr(pos, end - pos));
    pos = end + 1;
    if (!line.empty() && line[0] == '#') continue;
    if (line.size() > 2 && line.front() == '[' && line.back() == ']') {
      char *rest = nullptr;
      unsigned long id = std::strtoul(line.c_str() + 1, &rest, 10);
      inTopic = rest && *rest == ']' && id > 0;
      current = DWORD(id);
      paragraphBreak = false;
      if (inTopic) (*topics)[current].clear();
      continue;
    }
    if (!inTopic) continue;
    std::string &text = (*topics)[current];
    if (line.empty()) {
      paragraphBreak = !text.empty();
      continue;
    }
    if (!text.empty()) text += paragraphBreak ? "\n\n" : " ";
    paragraphBreak = false;
    text += line;
  }
}

}  // namespace vd::user
