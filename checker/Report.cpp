#include "checker/Report.h"

#include <fmt/format.h>

#include <map>

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

std::string ProblemsText(const std::vector<Problem>& problems) {
    if (problems.empty()) return "No problems found.\n";
    std::string text = fmt::format("{} problem(s):\n", problems.size());
    for (const Problem& problem : problems)
        text += fmt::format("\n  {}\n    found:    {}\n    expected: {}\n    plugin:   {}\n",
                            problem.key, problem.found, problem.expected, problem.effect);
    return text;
}

std::string DryRunText(const std::string& world, const DryRunResult& run) {
    std::string text = fmt::format("\nDry run on {} (nothing sent):\n", world);
    // Rules in the order a check applies them.
    const std::vector<std::string> rules = {"DestroyDinosOverLevel", "EnableLevelWarning",
                                            "MinDinoLevel", "DestroyIncoherentDinos",
                                            "DestroyDinosOverStatValue"};
    for (const std::string& rule : rules) {
        std::string section;
        for (const Finding& finding : run.findings) {
            if (finding.rule != rule) continue;
            const std::string posts =
                finding.bodies.size() > 1 ? fmt::format(" ({} posts)", finding.bodies.size()) : "";
            section += fmt::format("    {} {}\n      post to {}{}: {}\n",
                                   finding.destroyed ? "destroyed" : "reported ", finding.creature,
                                   finding.url.empty() ? "(no URL)" : finding.url, posts,
                                   Indented(finding.message, "        "));
        }
        if (!section.empty()) text += fmt::format("\n  {}:\n{}", rule, section);
    }
    if (run.findings.empty()) text += "\n  No creature would be destroyed or reported.\n";
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

}  // namespace

int ExitStatus(const Report& report) {
    if (report.unreadable) return 2;
    if (!report.problems.empty() || (report.dryRun && report.dryRun->failed())) return 1;
    return 0;
}

std::string ReportText(const Report& report) {
    std::string text = fmt::format("{}:\n", report.configPath);
    if (report.unreadable) return text + "  cannot be used: " + *report.unreadable + "\n";
    text += ProblemsText(report.problems);
    if (report.dryRun) text += DryRunText(*report.worldPath, *report.dryRun);
    return text;
}

nlohmann::json ReportJson(const Report& report) {
    nlohmann::json out = {{"config", report.configPath},
                          {"status", StatusName(ExitStatus(report))}};
    if (report.unreadable) out["error"] = *report.unreadable;
    out["problems"] = nlohmann::json::array();
    for (const Problem& problem : report.problems)
        out["problems"].push_back({{"key", problem.key},
                                   {"found", problem.found},
                                   {"expected", problem.expected},
                                   {"effect", problem.effect}});
    if (report.dryRun) {
        const DryRunResult& run = *report.dryRun;
        nlohmann::json findings = nlohmann::json::array();
        for (const Finding& finding : run.findings)
            findings.push_back({{"rule", finding.rule},
                                {"action", finding.destroyed ? "destroyed" : "reported"},
                                {"creature", finding.creature},
                                {"url", finding.url},
                                {"bodies", finding.bodies},
                                {"message", finding.message}});
        out["dryRun"] = {{"world", *report.worldPath},   {"findings", findings},
                         {"destroyed", run.destroyed},   {"posts", run.posts},
                         {"notChecked", run.notChecked}, {"logs", run.logs}};
    }
    return out;
}

}  // namespace checker
