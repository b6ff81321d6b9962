#!/usr/bin/env python3
"""Mutation sites for scripts/mutants (standard library only).

  mutants.py plan SEED     every mutant of the product sources, one JSON
                           object a line, in the order SEED gives them
  mutants.py show PLAN I   the file of mutant I (0-based) and a description
  mutants.py apply PLAN I  writes mutant I into its file

A mutant is one small change at one place: a flipped comparison, a constant
off by one, swapped operands or arguments, a removed check (the condition of
an if whose body ends in return, break or continue made false), a removed
statement (a call or an assignment) or a flipped boolean literal. Comments,
string and character literals, preprocessor lines and everything between #if
and #endif (code for other platforms) are never touched. The order mixes the
kinds evenly and never changes the same line twice.
"""

import json
import random
import re
import subprocess
import sys

DIRS = ("app", "link", "pages", "admin", "tools")
# The program's entry point is not part of the library the tests link.
SKIP_FILES = {"app/main.cpp"}
KINDS = ("comparison", "constant", "swap", "check", "statement", "boolean")
TITLES = {
    "comparison": "flipped comparison",
    "constant": "constant off by one",
    "swap": "swapped operands",
    "check": "removed check",
    "statement": "removed statement",
    "boolean": "flipped boolean",
}

IDENT = r"[A-Za-z_]\w*"
# An operand simple enough to move: a name, a member chain, an argument-less
# call or a number.
OPERAND = rf"(?:{IDENT}(?:(?:::|\.|->){IDENT})*(?:\(\))?|\d+)"

COMPARISON = re.compile(r"(?<=[\w)\]\"'] )(==|!=|<=|>=|<|>)(?= [\w(!\-\"'*&:])")
FLIP = {"==": "!=", "!=": "==", "<": "<=", "<=": "<", ">": ">=", ">=": ">"}
NUMBER = re.compile(r"(?<![\w.'])(0[xX][0-9a-fA-F]+|\d+)([uUlL]*)(?![\w.'])")
BOOLEAN = re.compile(r"\b(true|false)\b")
BINARY = re.compile(rf"(?<![\w.:>])({OPERAND}) ([-/%]) ({OPERAND})(?![\w.(\[:]|->)")
ARGUMENTS = re.compile(rf"({IDENT})\(((?:-?\d+|{OPERAND})), ((?:-?\d+|{OPERAND}))(?=[,)])")
# Calls whose first two arguments may change places without effect, or never.
SYMMETRIC_CALLS = {"qMax", "qMin", "max", "min", "connect", "disconnect",
                   "if", "for", "while", "switch", "return", "sizeof"}
IF_HEAD = re.compile(r"\bif\s*\(")
STATEMENT = re.compile(
    rf"(?:emit\s+|Q_EMIT\s+)?({IDENT})(?:(?:::|\.|->){IDENT}|\[[^\]]*\])*"
    r"\s*(\(|=(?!=)|\+=|-=|\*=|/=|\|=|&=|\+\+|--)")
NOT_STATEMENTS = {"if", "for", "while", "switch", "return", "sizeof", "catch",
                  "do", "else", "delete", "case", "qDebug", "qWarning", "qInfo",
                  "qCritical", "qCDebug", "qCWarning", "qCInfo", "static_assert"}


def mask(text):
    """The text with comments, literal contents and preprocessor lines blanked
    (same length, line breaks kept), so that patterns only see code."""
    out = list(text)
    i, n = 0, len(text)

    def blank(a, b):
        for k in range(a, b):
            if out[k] != "\n":
                out[k] = " "

    while i < n:
        c = text[i]
        two = text[i:i + 2]
        if two == "//":
            end = text.find("\n", i)
            end = n if end < 0 else end
            blank(i, end)
            i = end
        elif two == "/*":
            end = text.find("*/", i + 2)
            end = n if end < 0 else end + 2
            blank(i, end)
            i = end
        elif c == '"' and i > 0 and text[i - 1] == "R":
            m = re.match(r'"([^ ()\\]{0,16})\(', text[i:])
            close = text.find(")" + m.group(1) + '"', i) if m else -1
            end = n if close < 0 else close + len(m.group(1)) + 2
            blank(i + 1, end - 1)
            i = end
        elif c == '"' or (c == "'" and not (i > 0 and text[i - 1].isalnum())):
            k = i + 1
            while k < n and text[k] != c and text[k] != "\n":
                k += 2 if text[k] == "\\" else 1
            blank(i + 1, min(k, n))
            i = k + 1
        else:
            i += 1

    # Preprocessor lines and conditional code.
    lines = "".join(out).split("\n")
    depth, continued = 0, False
    for number, line in enumerate(lines):
        stripped = line.strip()
        directive = continued or stripped.startswith("#")
        if directive and not continued:
            word = stripped[1:].strip().split(" ")[0]
            if word.startswith("if"):
                depth += 1
            elif word == "endif":
                depth = max(0, depth - 1)
        if directive or depth > 0:
            lines[number] = " " * len(line)
        continued = directive and stripped.endswith("\\")
    return "\n".join(lines)


def matching(code, start, opening, closing):
    """Index of the bracket closing the one at `start`, or -1."""
    depth = 0
    for k in range(start, len(code)):
        if code[k] == opening:
            depth += 1
        elif code[k] == closing:
            depth -= 1
            if depth == 0:
                return k
    return -1


def statement_end(code, start):
    """Index of the ';' ending the statement that starts at `start`, or -1
    when a block opens outside brackets (a definition, not a statement) or
    the statement runs over more than eight lines."""
    depth = 0
    for k in range(start, len(code)):
        ch = code[k]
        if ch == "{" and depth == 0:
            return -1
        if ch in "([{":
            depth += 1
        elif ch in ")]}":
            depth -= 1
            if depth < 0:
                return -1
        elif ch == ";" and depth == 0:
            return k if code.count("\n", start, k) < 8 else -1
    return -1


def guard_sites(code):
    """Conditions of ifs whose body leaves (return, break, continue)."""
    for m in IF_HEAD.finditer(code):
        opening = m.end() - 1
        close = matching(code, opening, "(", ")")
        if close < 0 or code[m.start() - 1:m.start()].isalnum():
            continue
        body = close + 1
        while body < len(code) and code[body].isspace():
            body += 1
        if code.startswith("{", body):
            end = matching(code, body, "{", "}")
            inner = code[body + 1:end].strip() if end > 0 else ""
            last = re.split(r"[;{}]\s*(?=\S)", inner)[-1] if inner else ""
        else:
            end = code.find(";", body)
            last = code[body:end + 1].strip() if end > 0 else ""
        if not re.match(r"(return\b[^;]*|break|continue);$", last):
            continue
        condition = code[opening + 1:close]
        if condition.strip() in ("true", "false"):
            continue
        yield opening + 1, condition, "false"


def statement_sites(code):
    """Calls and assignments that stand alone as a statement."""
    offset, previous = 0, ";"
    for line in code.split("\n"):
        stripped = line.strip()
        start = offset + len(line) - len(line.lstrip())
        offset += len(line) + 1
        if not stripped:
            continue
        m = STATEMENT.match(stripped)
        follows_statement = previous[-1] in ";{}):" or previous.endswith("else")
        previous = stripped
        if not m or not follows_statement or m.group(1) in NOT_STATEMENTS:
            continue
        if m.group(1).startswith("Q_") and m.group(1) != "Q_EMIT":
            continue
        if "setupUi(" in stripped:  # without its widgets nothing runs at all
            continue
        end = statement_end(code, start)
        if end < 0:
            continue
        yield start, code[start:end + 1], ";"


def shape(argument):
    """Number, constant (capitalised name) or variable."""
    if re.fullmatch(r"-?\d+", argument):
        return "number"
    return "constant" if argument[0].isupper() else "variable"


def line_sites(code):
    """Sites found inside one line: comparisons, numbers, booleans, operands."""
    offset = 0
    for line in code.split("\n"):
        if "template" in line or "operator" in line:
            offset += len(line) + 1
            continue
        for m in COMPARISON.finditer(line):
            yield "comparison", offset + m.start(), m.group(1), FLIP[m.group(1)]
        for m in NUMBER.finditer(line):
            digits, suffix = m.group(1), m.group(2)
            value = int(digits, 0) if digits.startswith(("0x", "0X")) else int(digits)
            for changed in (value + 1, value - 1):
                if changed < 0:
                    continue
                text = ("0x%X" % changed if digits[:2] in ("0x", "0X")
                        else str(changed)) + suffix
                yield "constant", offset + m.start(), m.group(0), text
        for m in BOOLEAN.finditer(line):
            yield ("boolean", offset + m.start(), m.group(1),
                   "false" if m.group(1) == "true" else "true")
        for m in BINARY.finditer(line):
            before = line[:m.start()].rstrip()[-1:]
            after = line[m.end():].lstrip()[:1]
            left, op, right = m.group(1), m.group(2), m.group(3)
            if left != right and before not in "*/%" and after not in "*/%":
                yield "swap", offset + m.start(), m.group(0), f"{right} {op} {left}"
        for m in ARGUMENTS.finditer(line):
            name, first, second = m.group(1), m.group(2), m.group(3)
            # Arguments of one shape (two numbers, two constants, two
            # variables) are likelier to have the same type, so that the
            # swap compiles.
            if (name not in SYMMETRIC_CALLS and first != second
                    and shape(first) == shape(second)
                    and not {first, second} & {"this", "nullptr", "true", "false"}):
                start = offset + m.start(2)
                yield "swap", start, f"{first}, {second}", f"{second}, {first}"
        offset += len(line) + 1


def source_files():
    listed = subprocess.run(["git", "ls-files", "--", *DIRS], check=True,
                            capture_output=True, text=True).stdout.split()
    return sorted(f for f in listed if f.endswith(".cpp") and f not in SKIP_FILES)


def read(path):
    with open(path, encoding="utf-8", errors="surrogateescape", newline="") as f:
        return f.read()


def sites_of(path):
    text = read(path)
    code = mask(text)
    found = list(line_sites(code))
    found += [("check",) + s for s in guard_sites(code)]
    found += [("statement",) + s for s in statement_sites(code)]
    for kind, offset, masked, new in found:
        # Removed checks and statements may span literals and comments.
        old = text[offset:offset + len(masked)]
        line = text.count("\n", 0, offset) + 1
        yield {"file": path, "line": line, "kind": kind, "offset": offset,
               "old": old, "new": new}


def plan(seed):
    """All mutants, the kinds taking turns in an order drawn from `seed`."""
    rng = random.Random(seed)
    by_kind = {k: [] for k in KINDS}
    for path in source_files():
        for site in sites_of(path):
            by_kind[site["kind"]].append(site)
    for sites in by_kind.values():
        rng.shuffle(sites)
    used, ordered = set(), []
    while any(by_kind.values()):
        turn = [k for k in KINDS if by_kind[k]]
        rng.shuffle(turn)
        for kind in turn:
            sites = by_kind[kind]
            while sites:
                site = sites.pop()
                if (site["file"], site["line"]) not in used:
                    used.add((site["file"], site["line"]))
                    ordered.append(site)
                    break
    return ordered


def entry(plan_path, index):
    with open(plan_path, encoding="utf-8") as f:
        for number, line in enumerate(f):
            if number == index:
                return json.loads(line)
    sys.exit(f"mutants.py: no mutant {index} in {plan_path}")


def shorten(text, width=70):
    text = " ".join(text.split())
    return text if len(text) <= width else text[:width - 3] + "..."


def main(argv):
    if len(argv) == 3 and argv[1] == "plan":
        for site in plan(int(argv[2])):
            print(json.dumps(site))
    elif len(argv) == 4 and argv[1] == "show":
        site = entry(argv[2], int(argv[3]))
        print(site["file"])
        print(f'{site["file"]}:{site["line"]} {TITLES[site["kind"]]}: '
              f'`{shorten(site["old"])}` -> `{shorten(site["new"])}`')
    elif len(argv) == 4 and argv[1] == "apply":
        site = entry(argv[2], int(argv[3]))
        text = read(site["file"])
        start, old = site["offset"], site["old"]
        if text[start:start + len(old)] != old:
            sys.exit(f'mutants.py: {site["file"]} changed since the plan was made')
        with open(site["file"], "w", encoding="utf-8", errors="surrogateescape",
                  newline="") as f:
            f.write(text[:start] + site["new"] + text[start + len(old):])
    else:
        sys.exit(__doc__)


if __name__ == "__main__":
    main(sys.argv)
