#!/usr/bin/env python3
"""Draws Mivora's branch and petal bitmaps, its two icons, and the pictures
and icons that label the settings dialog's controls.

    python3 tools/make_art.py                     write everything into res/
    python3 tools/make_art.py --check             re-read what was written and verify it, and the
                                                  help topics' source res/help/mivora-help.txt
    python3 tools/make_art.py --preview out.png   contact sheet of the branch, petals and icons, enlarged
    python3 tools/make_art.py --sheet out.png     contact sheet of the settings dialog's pictures, 1x and 4x

Every shape (the branch and the five petal places) is drawn once; the seven
flower types only colour those shapes differently, so each shape has one mask
image shared by every type.  Output is deterministic: rerunning gives
byte-identical files.  Standard library only.
"""
import os
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from art.checks import check  # noqa: E402
from art.outputs import build, write  # noqa: E402
from art.preview import preview, sheet  # noqa: E402


def main(argv):
    if len(argv) >= 2 and argv[1] == "--check":
        return check()
    if len(argv) >= 3 and argv[1] == "--preview":
        preview(argv[2])
        return 0
    if len(argv) >= 3 and argv[1] == "--sheet":
        sheet(argv[2])
        return 0
    if len(argv) > 1:
        print(__doc__.strip(), file=sys.stderr)
        return 2
    files, _ = build()
    write(files)
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
