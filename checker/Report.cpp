#include "checker/Report.h"

#include <algorithm>
#include <map>

#include "base/Format.h"
#include "base/ShownWebhook.h"

namespace checker {
namespace {

const char* StatusName(int status) {
    return status == 0 ? "clean" : status == 1 ? "problems" : "unreadable";
}

// Continuation lines of a multi-line text, indented under their first line.
std::string Indented(const std::string& text, const std::string& indent) {
    std::string out;
    for (char c : text) {
        out += c;
        if (c == '\n') out += indent;
    }
    return out;
}

bool IsNote(const Problem& problem) { return problem.harm == Harm::Note; }

std::string ProblemLines(const Problem& problem) {
    return fmt::format("\n  {}\n    found:    {}\n    expected: {}\n    plugin:   {}\n",
                       problem.key, problem.found, problem.expected, problem.effect);
}

std::string ProblemsText(const std::vector<Problem>& problems) {
    const auto count = static_cast<size_t>(std::count_if(
        problems.begin(), problems.end(), [](const Problem& problem) { return !IsNote(problem); }));
    std::string text = count == 0 ? "No problems found.\n" : fmt::format("{} problem(s):\n", count);
    for (const Problem& problem : problems)
        if (!IsNote(problem)) text += ProblemLines(problem);
    if (count == problems.size()) return text;
    text += fmt::format("\n{} note(s), not problems:\n", problems.size() - count);
    for (const Problem& problem : problems)
        if (IsNote(problem)) text += ProblemLines(problem);
    return text;
}

std::string FindingText(const Finding& finding) {
    const std::string posts =
        finding.bodies.size() > 1 ? fmt::format(" ({} posts)", finding.bodies.size()) : "";
    return fmt::format("    {} {}: {}\n      post to {}{}: {}\n",
                       finding.destroyed ? "destroy" : "only report", finding.creature,
                       finding.description,
                       finding.url.empty() ? "(no URL)" : ShownWebhook(finding.url), posts,
                       Indented(finding.message, "        "));
}

// The preview's words: each rule with what it does to the creatures it sees, then its creatures.
std::string DryRunText(const std::string& world, const DryRunResult& run) {
    std::string text = fmt::format("\nDry run on {} (nothing sent):\n", world);
    if (!run.warning.empty()) text += "\n  " + run.warning + "\n";
    // What follows holds only what came before the stop, so the stop is said first.
    if (run.stopped)
        text += fmt::format(
            "\n  A check stopped at {}: {}\n", run.stopped->creature,
            run.stopped->description.empty() ? "(not described)" : run.stopped->description);
    for (size_t rule = 0; rule < run.tallies.size(); ++rule) {
        const std::string name = RuleName(static_cast<AuditRule>(rule));
        text += "\n  " + TallyText(static_cast<AuditRule>(rule), run.tallies[rule]) + "\n";
        for (const Finding& finding : run.findings)
            if (finding.rule == name) text += FindingText(finding);
    }
    if (run.findings.empty())
        text += fmt::format("\n  No creature would be destroyed or reported{}.\n",
                            run.stopped ? " before the stop" : "");
    text += fmt::format("\n  Destroyed: {}\n",
                        run.destroyed.empty() ? std::string("-")
                                              : fmt::format("{}", fmt::join(run.destroyed, ", ")));
    if (!run.notChecked.empty())
        text += fmt::format("  Removed by the world before their check: {}\n",
                            fmt::join(run.notChecked, ", "));
    for (const auto& log : run.logs)
        if (log.value("level", "") != "warning")
            text += fmt::format("  log [{}]: {}\n", log.value("level", ""),
                                Indented(log.value("text", ""), "    "));
    return text;
}

nlohmann::json ProblemJson(const Problem& problem) {
    return {{"key", problem.key},
            {"found", problem.found},
            {"expected", problem.expected},
            {"effect", problem.effect}};
}

}  // namespace

int ExitStatus(const Report& report) {
    if (report.unreadable || report.worldUnreadable) return 2;
    const bool problems = std::any_of(report.problems.begin(), report.problems.end(),
                                      [](const Problem& problem) { return !IsNote(problem); });
    if (problems || (report.dryRun && report.dryRun->failed())) return 1;
    return 0;
}

std::string ReportText(const Report& report) {
    std::string text = fmt::format("{}:\n", report.configPath);
    if (report.unreadable) return text + "  cannot be used: " + *report.unreadable + "\n";
    text += ProblemsText(report.problems);
    if (report.worldUnreadable)
        text += fmt::format("\nworld file {}: cannot be used: {}\n", *report.worldPath,
                            *report.worldUnreadable);
    if (report.dryRun) text += DryRunText(*report.worldPath, *report.dryRun);
    return text;
}

nlohmann::json ReportJson(const Report& report) {
    nlohmann::json out = {{"config", report.configPath},
                          {"status", StatusName(ExitStatus(report))}};
    if (report.unreadable) out["error"] = *report.unreadable;
    if (report.worldUnreadable) out["worldError"] = *report.worldUnreadable;
    out["problems"] = nlohmann::json::array();
    out["notes"] = nlohmann::json::array();
    for (const Problem& problem : report.problems)
        out[IsNote(problem) ? "notes" : "problems"].push_back(ProblemJson(problem));
    if (report.dryRun) {
        const DryRunResult& run = *report.dryRun;
        nlohmann::json findings = nlohmann::json::array();
        for (const Finding& finding : run.findings)
            findings.push_back({{"rule", finding.rule},
                                {"action", finding.destroyed ? "destroyed" : "reported"},
                                {"creature", finding.creature},
                                {"description", finding.description},
                                {"url", ShownWebhook(finding.url)},
                                {"bodies", finding.bodies},
                                {"message", finding.message}});
        nlohmann::json tallies = nlohmann::json::array();
        for (size_t rule = 0; rule < run.tallies.size(); ++rule)
            tallies.push_back({{"rule", RuleName(static_cast<AuditRule>(rule))},
                               {"reached", run.tallies[rule].reached},
                               {"destroyed", run.tallies[rule].destroyed},
                               {"onlyReported", run.tallies[rule].onlyReported},
                               {"left", run.tallies[rule].Left()}});
        out["dryRun"] = {{"world", *report.worldPath},
                         {"rules", tallies},
                         {"findings", findings},
                         {"destroyed", run.destroyed},
                         {"posts", run.posts},
                         {"notChecked", run.notChecked},
                         {"logs", run.logs}};
        if (!run.warning.empty()) out["dryRun"]["warning"] = run.warning;
        if (run.stopped)
            out["dryRun"]["stoppedAt"] = {{"creature", run.stopped->creature},
                                          {"description", run.stopped->description},
                                          {"line", run.stopped->line}};
    }
    return out;
}

}  // namespace checker
