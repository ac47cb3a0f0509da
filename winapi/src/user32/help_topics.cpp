// Reading the help text source: ';' starts a comment line, "[N] Title" starts
// the topic of context id N, and the lines after it are its text, neighbouring
// lines joined into paragraphs that empty lines end.
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

// "[N] Title": the context id and the title; false for any other line.
bool TopicHeader(const std::string &line, DWORD *id, std::string *title) {
  if (line.size() < 3 || line[0] != '[' || line[1] < '0' || line[1] > '9') return false;
  char *end = nullptr;
  unsigned long n = std::strtoul(line.c_str() + 1, &end, 10);
  if (!end || *end != ']' || n == 0 || n > 0xFFFFFFFFul) return false;
  *id = DWORD(n);
  *title = Trim(end + 1);
  return true;
}

}  // namespace

void ParseHelpTopics(const std::string &source, std::map<DWORD, HelpTopic> *topics) {
  topics->clear();
  HelpTopic *topic = nullptr;
  bool paragraphEnded = false;
  size_t pos = 0;
  while (pos < source.size()) {
    size_t end = source.find('\n', pos);
    if (end == std::string::npos) end = source.size();
    std::string line = Trim(source.substr(pos, end - pos));
    pos = end + 1;
    if (!line.empty() && line[0] == ';') continue;
    DWORD id;
    std::string title;
    if (TopicHeader(line, &id, &title)) {
      topic = &(*topics)[id];
      *topic = HelpTopic{title, ""};
      paragraphEnded = false;
      continue;
    }
    if (!topic) continue;  // text before the first topic
    if (line.empty()) {
      paragraphEnded = true;
      continue;
    }
    if (!topic->text.empty()) topic->text += paragraphEnded ? "\n\n" : " ";
    paragraphEnded = false;
    topic->text += line;
  }
}

}  // namespace vd::user
