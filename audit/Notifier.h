// How reports leave the plugin: web-hook posts and the destroy log line.
#pragma once

#include <string>
#include <unordered_map>

#include "host/EngineTypes.h"

// The request body: {"content": message}, compact.
std::string WebhookBody(const std::string& message);

// The URL every post goes to, read from the configuration now; a wrong type raises the library's
// error.
std::string WebhookUrl();

// Starts the POST of a finished body and returns at once.
void SendWebhookPost(const std::string& url, const std::string& body);

// Reads the URL, then sends the body to it.
void PostWebhookBody(const std::string& body);

// WebhookBody, then PostWebhookBody.
void PostToWebhook(const std::string& message);

// The report of a destroying rule: its body is made while the creature still exists, the
// creature is destroyed, and then the report is posted. A failure to post leaves the creature
// gone, and nothing claims otherwise.
void DestroyThenPost(APrimalDinoCharacter* dino, const std::string& message);

// The completion of every post: the response is of no interest.
void IgnoreResponse(bool success, std::string body,
                    std::unordered_map<std::string, std::string> headers);

// The warning-level record of an over-level destruction.
void LogDestroyedDino(const std::string& name, int32_t level, int32_t team,
                      const std::string& location, const std::string& members);
