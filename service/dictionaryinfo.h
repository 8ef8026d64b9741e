#pragma once

#include <string>
#include <vector>

// What the dictionary list tells about one dictionary, and the icon it serves.
struct DictionaryInfo
{
    int id = 0;
    std::string name;
    std::string author;
    std::vector<std::string> languages;
    int type = 1;       // 1 general, 2 terminological
    int lingualism = 1; // 1 monolingual, 2 multilingual
    std::string iconPng;
};
