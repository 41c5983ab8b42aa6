"""brumkeyctl --json devices must print one JSON document that says which
configured model is connected in which mode."""
import json
import subprocess
import sys

exe, config = sys.argv[1], sys.argv[2]
cases = [
    # (extra options, {device type: connection mode or None})
    (["--simulate"], {201: 0, 101: 0}),
    (["--simulate=201:1,201:2"], {201: 2, 101: None}),
    (["--simulate=101:0"], {201: None, 101: 0}),
    ([], {201: None, 101: None}),
]
failed = False
for extra, expected in cases:
    out = subprocess.run([exe, "--config", config, "--json", *extra, "devices"],
                         check=True, capture_output=True, text=True).stdout
    doc = json.loads(out)
    got = {d["deviceType"]: d["connectionMode"] for d in doc["devices"]}
    for d in doc["devices"]:
        if d["connected"] != (d["connectionMode"] is not None):
            failed = True
        if d["connected"] != any(m["present"] for m in d["modes"]):
            failed = True
    if got != expected:
        print(f"{extra}: expected {expected}, got {got}", file=sys.stderr)
        failed = True
sys.exit(1 if failed else 0)
