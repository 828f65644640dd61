// How reports leave a check: each report is made ready (its bodies, then its URL) before it goes
// through the check's effects, in the order its rule gives.
#pragma once

#include <string>
#include <vector>

#include "audit/AuditCheck.h"
#include "audit/DestructionRecord.h"

// The request body: {"content": message}, compact. Text that is not UTF-8 raises the library's
// error.
std::string WebhookBody(const std::string& message);

// The body of each post of a message: the one body of WebhookBody when the message fits a post,
// else one per part (SplitMessage). Raises WebhookBody's error for text that is not UTF-8.
std::vector<std::string> ReportBodies(const std::string& message);

// A report of `rule`, ready to go: bodies first, then the URL read from the check's
// configuration (a wrong type raises the library's error there).
Report MakeReport(const AuditCheck& check, AuditRule rule, const std::string& message);
// The same with its bodies made beforehand: the URL is read now.
Report MakeReport(const AuditCheck& check, AuditRule rule, const std::string& message,
                  std::vector<std::string> bodies);

// Posts a report.
void PostToWebhook(AuditCheck& check, AuditRule rule, const std::string& message);

// The report of a destroying rule: its bodies and its journal record are made while the creature
// still exists and the game's destroy is looked up, the record is written, the creature destroyed
// and the destruction logged, then the URL is read and the report posted. A creature the journal
// cannot record, the destroy brake holds, or the game does not destroy, is not reported. A failure
// to post leaves the creature gone, and nothing claims otherwise.
void DestroyThenPost(AuditCheck& check, AuditRule rule, const std::string& message,
                     const Comparison& compared);
