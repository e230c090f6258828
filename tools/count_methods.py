#!/usr/bin/env python3
"""Counts the member functions of C++ classes (a regex reading, no compiler).

usage: tools/count_methods.py [--list] [--src DIR] CLASS [CLASS ...]

For each class the header that declares it is found under DIR (default:
the repository), the member functions declared in its body are counted
(constructors, destructor, operators and inline definitions included; data
members, using-declarations, friends and Qt macros not), and each is
looked up in its definition (inline or in a .cpp file of DIR) to tell the
one-line forwarders: a body of one statement that hands the call on to a
member object or pointer (`return m_x->F(...);`, `m_x.F(...);`,
`m_view.F(...);`) or to a static function (`return C::F(...);`).  With
--list the methods that are not forwarders are listed.  Prints per class: all, forwarders, the rest.
"""
import os
import re
import sys


def strip_comments(text):
    text = re.sub(r"/\*.*?\*/", lambda m: "\n" * m.group(0).count("\n"), text, flags=re.S)
    return re.sub(r"//[^\n]*", "", text)


def find_class(root, name):
    pat = re.compile(r"\b(class|struct)\s+" + re.escape(name) + r"\b[^;{]*\{")
    for dirpath, dirs, files in os.walk(root):
        dirs[:] = [d for d in dirs if not d.startswith(("build", "."))]
        for f in files:
            if f.endswith(".h"):
                p = os.path.join(dirpath, f)
                text = strip_comments(open(p, encoding="utf-8", errors="replace").read())
                m = pat.search(text)
                if m:
                    return p, text, m.end()
    return None, None, None


def class_body(text, start):
    depth, i = 1, start
    while depth:
        c = text[i]
        depth += c == "{"
        depth -= c == "}"
        i += 1
    return text[start:i - 1]


def split_members(body):
    """Top-level declarations of the class body, with inline bodies."""
    out, cur, depth, paren = [], "", 0, 0
    for c in body:
        cur += c
        if c == "(":
            paren += 1
        elif c == ")":
            paren -= 1
        elif c == "{":
            depth += 1
        elif c == "}":
            depth -= 1
            if depth == 0 and paren == 0:
                # an inline body ends the declaration unless a brace
                # initialiser of a data member (followed by ';')
                out.append(cur)
                cur = ""
        elif c == ";" and depth == 0 and paren == 0:
            out.append(cur)
            cur = ""
    return out


FWD = re.compile(r"^\{\s*(return\s+)?(m_\w+\s*(->|\.)|[A-Z]\w*::)\s*~?\w+\s*\([^;{}]*\)\s*;\s*\}$", re.S)


def is_forwarder(body):
    return bool(FWD.match(re.sub(r"\s+", " ", body.strip())))


def inline_body(decl):
    """The body of an inline definition, None for a declaration (default
    arguments may hold braces: the body starts after the parameter list)."""
    i = decl.find("(")
    depth = 0
    for j in range(i, len(decl)):
        if decl[j] == "(":
            depth += 1
        elif decl[j] == ")":
            depth -= 1
            if depth == 0:
                k = decl.find("{", j)
                return decl[k:] if k >= 0 else None
    return None


def method_name(decl):
    d = re.sub(r"\s+", " ", decl.split("{")[0]).strip()
    d = re.sub(r"^(public|protected|private|signals|public slots|private slots)\s*:\s*", "", d)
    if not d or "(" not in d or d.startswith(("using ", "friend ", "Q_OBJECT", "typedef ", "enum", "static_assert")):
        return None
    head = d.split("(")[0].strip()
    if "=" in head or head.endswith(("Q_OBJECT", "Q_DISABLE_COPY")) or head.startswith("Q_"):
        return None
    m = re.search(r"(operator\s*\S+|~?\w+)$", head)
    if not m:
        return None
    # a data member of function type (std::function<...> x) has no '(' before its name
    return m.group(1)


def definitions(root, cls):
    """Out-of-line definitions CLS::name(...) { ... } in .cpp files."""
    defs = {}
    pat = re.compile(r"\b" + re.escape(cls) + r"::(operator\s*[^\s(]+|~?\w+)\s*\(")
    for dirpath, dirs, files in os.walk(root):
        dirs[:] = [d for d in dirs if not d.startswith(("build", "."))]
        for f in files:
            if not f.endswith(".cpp"):
                continue
            text = strip_comments(open(os.path.join(dirpath, f), encoding="utf-8", errors="replace").read())
            for m in pat.finditer(text):
                # skip to the body: the first '{' at paren depth 0 before a ';'
                i, paren = m.end() - 1, 0
                while i < len(text):
                    c = text[i]
                    if c == "(":
                        paren += 1
                    elif c == ")":
                        paren -= 1
                    elif c == ";" and paren == 0:
                        i = -1
                        break
                    elif c == "{" and paren == 0:
                        break
                    i += 1
                if i < 0 or i >= len(text):
                    continue
                # constructor initialiser lists hold braces; take the last
                # top-level '{' ... '}' block that starts the body
                depth, j = 0, i
                while True:
                    c = text[j]
                    depth += c == "{"
                    depth -= c == "}"
                    j += 1
                    if depth == 0:
                        break
                defs.setdefault(m.group(1), []).append(text[i:j])
    return defs


def count(root, cls):
    path, text, start = find_class(root, cls)
    if not path:
        return None
    decls = [d for d in split_members(class_body(text, start))]
    defs = definitions(root, cls)
    seen = {}
    total = fwd = 0
    rest = []
    for d in decls:
        name = method_name(d)
        if not name:
            continue
        total += 1
        if inline_body(d) is not None:
            body = inline_body(d)
        else:
            k = seen.get(name, 0)
            seen[name] = k + 1
            lst = defs.get(name, [])
            body = lst[k] if k < len(lst) else ""
        if body and is_forwarder(body):
            fwd += 1
        else:
            rest.append(name)
    return os.path.relpath(path, root), total, fwd, rest


def main(argv):
    root = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
    classes = []
    listing = False
    it = iter(argv)
    for a in it:
        if a == "--list":
            listing = True
        elif a == "--src":
            root = next(it)
        else:
            classes.append(a)
    print(f"{'class':<24} {'header':<32} {'methods':>7} {'fwd':>5} {'rest':>5}")
    worst = 0
    for c in classes:
        r = count(root, c)
        if not r:
            print(f"{c:<24} not found")
            continue
        path, total, fwd, rest = r
        worst = max(worst, total - fwd)
        print(f"{c:<24} {path:<32} {total:>7} {fwd:>5} {total - fwd:>5}")
        if listing:
            print("    " + " ".join(rest))
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
