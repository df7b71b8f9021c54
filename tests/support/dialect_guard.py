#!/usr/bin/python3
"""Checks statement texts against SQL Server's grammar (sqlfluff's T-SQL dialect).

Reads the statement shapes the test processes collected (files *.shapes: one shape per line, with
backslash, CR and LF escaped as \\\\, \\r, \\n) and, when asked, the script `renumber --print-schema`
writes, batch by batch. Every text is parsed with the T-SQL grammar; a text it cannot parse, or one that calls a
function only SQLite knows, is reported with the files it came from, and the exit status is 1.
Shapes found sound before are remembered in a cache file, so a run parses only new shapes.

Usage: dialect_guard.py [--cache FILE] [--schema-from EXE] [--jobs N] PATH...
       (PATH: a .shapes file, or a folder whose .shapes files are read)
"""
import argparse
import hashlib
import json
import multiprocessing
import os
import re
import subprocess
import sys
import time

# Functions SQLite has and SQL Server has not (the grammar takes any function name), and the
# functions the embedded engine adds for its translation.
SQLITE_ONLY_FUNCTIONS = re.compile(
    r"\b(IFNULL|SUBSTR|INSTR|GROUP_CONCAT|PRINTF|TYPEOF|STRFTIME|JULIANDAY|UNIXEPOCH|RANDOMBLOB|"
    r"ZEROBLOB|LAST_INSERT_ROWID|TOTAL_CHANGES|TSQL_INT|TSQL_LEN)\s*\(",
    re.IGNORECASE,
)


def decode(line):
    out, i = [], 0
    while i < len(line):
        c = line[i]
        if c == "\\" and i + 1 < len(line):
            out.append({"\\": "\\", "r": "\r", "n": "\n"}.get(line[i + 1], line[i + 1]))
            i += 2
        else:
            out.append(c)
            i += 1
    return "".join(out)


def for_grammar(text):
    """The text as the grammar's lexer takes it, and the same with string literals blanked (to look
    for function names in). Outside string literals a run of letters beyond ASCII becomes x (SQL
    Server takes such letters in names; the lexer only ASCII ones), a bracketed name becomes [x]
    (any name may stand there), and an ODBC parameter marker ? becomes the variable @p. Texts that
    differ only in such names are one text for the grammar."""
    out, code = [], []
    i, n = 0, len(text)
    while i < n:
        c = text[i]
        if c == "'":
            j = i + 1
            while j < n:
                if text[j] == "'":
                    if j + 1 < n and text[j + 1] == "'":
                        j += 2
                        continue
                    break
                j += 1
            out.append(text[i:j + 1])
            code.append(" ")
            i = j + 1
            continue
        if c == "[":
            j = text.find("]", i + 1)
            while j >= 0 and j + 1 < n and text[j + 1] == "]":
                j = text.find("]", j + 2)
            out.append("[x]")
            code.append(" ")
            i = n if j < 0 else j + 1
            continue
        if ord(c) > 127 and c.isalpha():
            while i + 1 < n and ord(text[i + 1]) > 127 and text[i + 1].isalpha():
                i += 1
            c = "x"
        elif c == "?":
            c = "@p"
        out.append(c)
        code.append(c)
        i += 1
    return "".join(out), "".join(code)


def batches(script):
    """The batches of a script whose batches are separated by lines holding only go."""
    return [b for b in re.split(r"(?im)^[ \t]*go[ \t]*\r?$\n?", script) if b.strip()]


_linter = None


def check(grammar_text):
    """None when SQL Server's grammar takes the text (as for_grammar gives it); otherwise why not."""
    global _linter
    if _linter is None:
        from sqlfluff.core import FluffConfig, Linter

        _linter = Linter(
            config=FluffConfig(overrides={"dialect": "tsql", "templater": "raw"}, ignore_local_config=True)
        )
    parsed = _linter.parse_string(grammar_text)
    if parsed.violations:
        return "; ".join(v.desc() for v in parsed.violations)
    return None


def distinct_statements(text):
    """A text of many Update statements (the batch apply sends fifty rows' statements in one
    execution) is as sound as its distinct statements: each distinct one is parsed once."""
    parts = [p.strip() for p in re.split(r"(?i)(?<!\w)(?=Update\s)", text)]
    parts = [p for p in parts if p]
    if len(parts) < 3:
        return text
    seen, out = set(), []
    for p in parts:
        if p not in seen:
            seen.add(p)
            out.append(p)
    return " ".join(out)


def fewer_arms(text):
    """A UNION ALL of many arms that read alike (the asked numbers as a table of the statement: five
    hundred "SELECT 0, 's'") is as sound as two of them, and the grammar takes time by the arm: a
    run of equal arms (parentheses balanced within each) is cut to two."""
    parts = re.split(r"(?i)(\bUNION\s+ALL\b)", text)
    if len(parts) < 7:
        return text
    out = [parts[0]]
    run = 1
    for i in range(2, len(parts), 2):
        arm = parts[i]
        same = arm == parts[i - 2] and arm.count("(") == arm.count(")")
        run = run + 1 if same else 1
        if run <= 2:
            out += [parts[i - 1], arm]
    return "".join(out)


def key(text, version):
    return hashlib.sha1((version + "\0" + text).encode("utf-8")).hexdigest()


def read_shapes(paths):
    sources = {}  # shape -> files it came from
    for path in paths:
        files = (
            sorted(os.path.join(path, f) for f in os.listdir(path) if f.endswith(".shapes"))
            if os.path.isdir(path)
            else [path]
        )
        for f in files:
            with open(f, encoding="utf-8") as fh:
                for line in fh.read().split("\n"):
                    if line.strip():
                        sources.setdefault(decode(line), []).append(os.path.basename(f))
    return sources


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("paths", nargs="*")
    parser.add_argument("--cache")
    parser.add_argument("--schema-from")
    parser.add_argument("--jobs", type=int, default=os.cpu_count() or 1)
    args = parser.parse_args()
    started = time.monotonic()

    sources = read_shapes(args.paths)
    if args.schema_from:
        schema = subprocess.run([args.schema_from, "--print-schema"], capture_output=True, check=True).stdout
        for batch in batches(schema.decode("utf-8")):
            sources.setdefault(batch, []).append("renumber --print-schema")

    import sqlfluff

    with open(__file__, "rb") as fh:
        version = sqlfluff.__version__ + hashlib.sha1(fh.read()).hexdigest()
    cached = set()
    if args.cache and os.path.exists(args.cache):
        try:
            with open(args.cache, encoding="utf-8") as fh:
                cached = set(json.load(fh))
        except (OSError, ValueError):
            cached = set()

    # One grammar text stands for every text that differs from it only in names.
    texts = {}  # grammar text -> the texts it stands for
    refused = []  # (text, why)
    for text in sources:
        grammar_text, code = for_grammar(text)
        m = SQLITE_ONLY_FUNCTIONS.search(code)
        if m:
            refused.append((text, "calls %s, a function SQL Server does not have" % m.group(1)))
        else:
            texts.setdefault(fewer_arms(distinct_statements(grammar_text)), []).append(text)

    todo = [t for t in texts if key(t, version) not in cached]
    if len(todo) > 1 and args.jobs > 1:
        with multiprocessing.Pool(min(args.jobs, len(todo))) as pool:
            verdicts = pool.map(check, todo, chunksize=4)
    else:
        verdicts = [check(t) for t in todo]
    for grammar_text, why in zip(todo, verdicts):
        if why:
            refused += [(text, why) for text in texts[grammar_text]]

    for text, why in refused:
        print("SQL Server's grammar refuses this statement text (from %s):" % ", ".join(sorted(set(sources[text]))))
        print("    " + text.replace("\n", "\n    "))
        print("  " + why)
    if args.cache:
        sound = cached | {key(t, version) for t, why in zip(todo, verdicts) if not why}
        with open(args.cache, "w", encoding="utf-8") as fh:
            json.dump(sorted(sound), fh)
    print(
        "%d statement texts, %d for the grammar, %d parsed now (the others known sound), %d refused, in %.1f s"
        % (len(sources), len(texts), len(todo), len(refused), time.monotonic() - started)
    )
    return 1 if refused else 0


if __name__ == "__main__":
    sys.exit(main())
