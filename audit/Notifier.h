// How reports leave the plugin: web-hook posts and the destroy log line.
#pragma once

#include <string>
#include <unordered_map>

// The request body: {"content": message}, compact.
std::string WebhookBody(const std::string& message);

// Starts the POST of a finished body to "LevelWarningWebhook" and returns at once.
void PostWebhookBody(const std::string& body);

// WebhookBody, then PostWebhookBody.
void PostToWebhook(const std::string& message);

// The completion of every post: the response is of no interest.
void IgnoreResponse(bool success, std::string body,
                    std::unordered_map<std::string, std::string> headers);

// The warning-level record of an over-level destruction.
void LogDestroyedDino(const std::string& name, int32_t level, int32_t team,
                      const std::string& location, const std::string& members);
