// The web hook as the plugin shows it: the token after the URL's last "/" lets whoever reads it
// post to the operators' channel, so the status, the checker and the log give the URL without it.
// The config file is the only place with the whole URL.
#pragma once

#include <string>
#include <string_view>

// "https://chat.example/api/webhooks/1234/token" gives "https://chat.example/api/webhooks/1234/…";
// slashes at the end are passed over first, so "…/1234/token/" hides the token too. Empty stays
// empty.
std::string ShownWebhook(std::string_view url);
