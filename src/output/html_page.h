// The page to read (-w): the result as one HTML file beside it, every line of it as it stands,
// with links from each label and name to the line that defines it, the places that refer to each
// one, and a map of the image's memory coloured by what the analysis made of each byte. It is
// made from the result and from what the run already knows, with no second analysis.
#pragma once

#include <string>

struct RunState;

constexpr char kPageExtension[] = ".html";

// Every page holds this in its head: a page of an earlier run may be replaced, a file without
// it may not.
constexpr char kPageMark[] = "<meta name=\"generator\" content=\"VELKOR\">";

// The page's name: the result's name with ".html" for its extension.
std::string PageNameOf(const std::string& resultName);

// Writes the page of the result just put in place, under an unfinished name first.
void WriteHtmlPage(RunState& state);
