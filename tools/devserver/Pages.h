#pragma once
// The HTML pages of the development server.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "devserver/Store.h"

namespace peckish::devserver {

std::string htmlEscape(std::string_view text);  // & < > " ' as character references

std::string highScoresPage(int64_t gid, const std::vector<ScoreRow>& best);
std::string buyMorePage();
std::string homePage();
std::string messagePage(int status, std::string_view title, std::string_view message);

}  // namespace peckish::devserver
