#!/usr/bin/env python3
"""The layer check on small source trees: a clean tree passes; an include of a layer above, two
folders that include each other and a folder that is no layer each fail, naming the offender."""
import os
import subprocess
import sys
import tempfile

CHECK = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tools", "check_layers.py")


def run_check(files):
    with tempfile.TemporaryDirectory() as src:
        for path, text in files.items():
            os.makedirs(os.path.dirname(os.path.join(src, path)), exist_ok=True)
            with open(os.path.join(src, path), "w") as f:
                f.write(text)
        result = subprocess.run([sys.executable, CHECK, src], capture_output=True, text=True)
        return result.returncode, result.stdout


def main():
    clean = {"core/a.h": "#include <cstdio>\n", "ctf/b.cpp": '#include "core/a.h"\n#include "ctf/b.h"\n',
             "run/c.cpp": '  #  include "ctf/b.h"\n#include "io/d.h"\n'}
    cases = [
        ("a clean tree", clean, 0, []),
        ("an include of a layer above", {**clean, "io/d.h": '#include "run/e.h"\n'}, 1,
         ["io/d.h:1: io includes run, a layer above it"]),
        ("two folders that include each other", {**clean, "core/f.cpp": '#include "ctf/b.h"\n'}, 1,
         ["core includes ctf", "core and ctf include each other"]),
        ("a folder that is no layer", {**clean, "gpu/g.h": "\n"}, 1, ["gpu: a folder that is not a known layer"]),
    ]
    failures = 0
    for name, files, status, messages in cases:
        got_status, output = run_check(files)
        missing = [m for m in messages if m not in output]
        if got_status != status or missing:
            failures += 1
            print(f"FAIL {name}: status {got_status} (want {status}), missing {missing}\n{output}")
    print(f"{len(cases) - failures} of {len(cases)} layer-check cases passed")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
