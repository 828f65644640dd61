#!/usr/bin/env python3
"""Times tamewarden-check --journal over a large journal: 1,000,000 records in 50 rotated files
of one server folder, written into a temporary folder and removed afterwards.

usage: bench/journal_query_time.py CHECKER [RECORDS] [FILES]"""
import json, os, resource, shutil, subprocess, sys, tempfile, time

checker = sys.argv[1]
records = int(sys.argv[2]) if len(sys.argv) > 2 else 1_000_000
files = int(sys.argv[3]) if len(sys.argv) > 3 else 50
owners = ["Ann", "Bob", "Zoë", "Cy", "Dana", "Eli", "Fay", "Gus"]
creatures = ["Rex", "Giganotosaurus", "Wyvern", "Raptor", "Dodo", "Stegosaurus", "Argentavis"]

folder = tempfile.mkdtemp(prefix="journal-query-")
try:
    per_file = records // files
    seq = 0
    for index in range(files):
        name = ("destroyed.jsonl" if index == files - 1
                else f"destroyed-2026-12-{1 + index // 24:02}T{index % 24:02}-00-00.000Z.jsonl")
        with open(os.path.join(folder, name), "w", encoding="utf-8") as out:
            for _ in range(per_file):
                seq += 1
                owner = owners[seq % len(owners)]
                creature = creatures[seq % len(creatures)]
                second = seq % 3600
                record = {
                    "time": f"2026-12-{1 + index // 24:02}T{index % 24:02}:{second // 60:02}:"
                            f"{second % 60:02}.{seq % 1000:03}Z",
                    "seq": seq, "rule": "over-level", "map": "TheIsland_WP",
                    "creature": creature, "level": 1000 + seq % 500, "team": 1000060001,
                    "location": [1520.0, -33.25, 0.125],
                    "owners": [{"name": owner, "playerId": 100 + seq % 8,
                                "eosId": f"0002a1b2c3d4e5f60718293a4b5c6d{seq % 8:02}"}],
                    "compared": {"threshold": 1000},
                    "levelUpPoints": [40, 30, 0, 30, 30, 0, 0, 40, 20, 9, 0, 0],
                    "tamedLevelUpPoints": [0] * 12, "tamedMutations": [2] + [0] * 11,
                    "statValues": [25000.5, 800, 0, 150, 3000, 0, 0, 900, 3.5, 1, 0, 1],
                    "report": f"# [**TheIsland_WP**] Detected **over-level** dino({creature}) level "
                              f"{1000 + seq % 500} at X=1520.000 Y=-33.250 Z=0.125\nMembers: ```"
                              f"{owner} - EOS id: 0002a1b2c3d4e5f60718293a4b5c6d7e\n" * 2 + "```",
                }
                out.write(json.dumps(record, ensure_ascii=False, separators=(",", ":")) + "\n")
    size = sum(os.path.getsize(os.path.join(folder, name)) for name in os.listdir(folder))
    print(f"{seq} records, {size / 1e6:.0f} MB in {files} files")
    for query in (["--owner", "zoë"], ["--creature", "rex", "--since", "2026-12-02"], []):
        started = time.monotonic()
        cpu_before = resource.getrusage(resource.RUSAGE_CHILDREN)
        run = subprocess.run([checker, "--journal", folder, *query], stdout=subprocess.PIPE)
        seconds = time.monotonic() - started
        cpu_after = resource.getrusage(resource.RUSAGE_CHILDREN)
        cpu = (cpu_after.ru_utime - cpu_before.ru_utime) + (cpu_after.ru_stime - cpu_before.ru_stime)
        summary = run.stdout.decode().splitlines()[-1]
        print(f"{' '.join(query) or '(everything)'}: {seconds:.1f} s ({cpu:.1f} s of CPU), "
              f"exit {run.returncode}, "
              f"{summary}")
finally:
    shutil.rmtree(folder)
