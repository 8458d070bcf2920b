#!/usr/bin/env python3
"""The README and the manual hold together: every relative link names a file that exists,
every #anchor a heading of its page (as GitHub makes anchors), and every picture they show
is among those installed beside them.
Usage: links_test.py SOURCE_DIR INSTALLED_PICTURE..."""
import os
import re
import sys

PAGES = ("README.md", "docs/manual.md")


def anchors(path):
    """The anchors GitHub gives the headings of a Markdown file, repeats numbered."""
    seen, found, in_code = {}, set(), False
    with open(path, encoding="utf-8") as f:
        for line in f:
            if line.startswith("```"):
                in_code = not in_code
            match = None if in_code else re.match(r"^#+ (.*)$", line.rstrip("\n"))
            if not match:
                continue
            slug = re.sub(r"[^\w\- ]", "", match.group(1).strip().lower()).replace(" ", "-")
            count = seen.get(slug, 0)
            seen[slug] = count + 1
            found.add(slug if count == 0 else f"{slug}-{count}")
    return found


def main():
    top, installed = sys.argv[1], {os.path.basename(p) for p in sys.argv[2:]}
    faults, links = [], 0
    for page in PAGES:
        path = os.path.join(top, page)
        with open(path, encoding="utf-8") as f:
            text = re.sub(r"```.*?```", "", f.read(), flags=re.S)  # code is not a link
        for target in re.findall(r"\]\(([^)\s]+)\)", text):
            if re.match(r"^[a-z]+://", target):
                continue
            links += 1
            file_part, _, anchor = target.partition("#")
            dest = os.path.normpath(os.path.join(os.path.dirname(path), file_part)) if file_part else path
            if not os.path.isfile(dest):
                faults.append(f"{page}: {target}: no such file")
            elif anchor and dest.endswith(".md") and anchor not in anchors(dest):
                faults.append(f"{page}: {target}: no heading with that anchor")
            elif dest.endswith(".png") and os.path.basename(dest) not in installed:
                faults.append(f"{page}: {target}: the picture is not installed with the manual")
    for fault in faults:
        print("FAIL:", fault, file=sys.stderr)
    if links < 20:
        faults.append(f"only {links} links found")
        print("FAIL: only", links, "links found: is the parsing broken?", file=sys.stderr)
    if faults:
        return 1
    print(f"ok: {links} links")
    return 0


if __name__ == "__main__":
    sys.exit(main())
