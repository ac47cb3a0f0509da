// The help engine's topics: the program's help text source, read into topics
// by context id.
#pragma once

#include <map>
#include <string>

#include "windows.h"

namespace vd::user {

struct HelpTopic {
  std::string title;
  std::string text;  // paragraphs separated by an empty line
};

// Reads the topics of a help text source (its format is described at the top
// of res/help/mivora-help.txt). Lines it cannot read are skipped.
void ParseHelpTopics(const std::string &source, std::map<DWORD, HelpTopic> *topics);

}  // namespace vd::user
