#!/usr/bin/env python3
"""Counts the member functions of C++ classes (a regex reading, no compiler).

usage: tools/count_methods.py [--list] [--src DIR] CLASS [CLASS ...]

A class is named as C++ names it: `CStrandworkDoc` is the document itself,
`CStrandworkDoc::DocumentSite` its nested class (defined in its body or out
of line), `core::ProjectDocument` or `ProjectDocument` a class of a namespace.

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


def read(path):
    with open(path, encoding="utf-8", errors="replace") as f:
        return f.read()


def strip_comments(text):
    """Comments out, string and character literals emptied (so that a brace
    or a slash in a literal is not read as code); line breaks kept."""
    token = re.compile(r'/\*.*?\*/|//[^\n]*|"(?:\\.|[^"\\\n])*"|\'(?:\\.|[^\'\\\n])*\'', re.S)

    def blank(m):
        t = m.group(0)
        if t.startswith("/"):
            return "\n" * t.count("\n") if t.startswith("/*") else ""
        return t[0] * 2

    return token.sub(blank, text)


def strip_templates(head):
    """`template <...>` headers out of a declaration head."""
    while True:
        m = re.search(r"\btemplate\s*<", head)
        if not m:
            return head
        depth, i = 0, m.end() - 1
        while i < len(head):
            depth += head[i] == "<"
            depth -= head[i] == ">"
            i += 1
            if depth == 0:
                break
        head = head[:m.start()] + " " + head[i:]


CLASS_HEAD = re.compile(r"^(?:(?:public|protected|private)\s*:\s*)*(?:class|struct|union)\s+"
                        r"(?:\[\[[^\]]*\]\]\s*)?(?:[A-Z][A-Z0-9_]*\s+)?(\w+(?:\s*::\s*\w+)*)"
                        r"(?:\s+final)?\s*(?::[^{]*)?$")


def class_definitions(text):
    """Every class (struct, union) defined in TEXT: (namespaces, class path,
    body start), the class path being the names of the enclosing classes
    and the class's own (`A::B` for a nested class, written in A's body or
    out of line as `class A::B {`).  Classes local to a function are left
    out."""
    out = []
    stack = []  # (kind, names) per open brace: "ns", "class" or "other"
    last = 0
    for i, c in enumerate(text):
        if c in ";}":
            if c == "}" and stack:
                stack.pop()
            last = i + 1
        elif c == "{":
            head = "\n".join(l for l in text[last:i].split("\n") if not l.lstrip().startswith("#"))
            head = re.sub(r"\s+", " ", strip_templates(head)).strip()
            head = re.sub(r"^(?:Q_OBJECT|Q_GADGET)\s*", "", head)
            kind, names = "other", []
            if any(k == "other" for k, _ in stack):
                pass
            elif re.match(r"^(inline\s+)?namespace\b", head):
                kind = "ns"
                m = re.match(r"^(?:inline\s+)?namespace\s+([\w:]+)", head)
                names = m.group(1).split("::") if m else []
            elif head.startswith('extern "'):
                kind = "ns"
            else:
                m = CLASS_HEAD.match(head)
                if m:
                    kind = "class"
                    ns = [n for k, part in stack if k == "ns" for n in part]
                    outer = next((part for k, part in reversed(stack) if k == "class"), [])
                    # a class entry holds its whole path, so that a class
                    # nested in it is named under it
                    names = outer + [n.strip() for n in m.group(1).split("::")]
                    out.append((ns, names, i + 1))
            stack.append((kind, names))
            last = i + 1
    return out


def _matches(query, ns, path):
    """QUERY (a list of names) names the class of namespaces NS and class
    path PATH: the whole class path, led by none or the innermost of the
    namespaces."""
    if len(query) < len(path) or query[len(query) - len(path):] != path:
        return False
    lead = query[:len(query) - len(path)]
    return not lead or ns[len(ns) - len(lead):] == lead


def find_class(root, name):
    query = [n.strip() for n in name.split("::")]
    for dirpath, dirs, files in os.walk(root):
        dirs[:] = sorted(d for d in dirs if not d.startswith(("build", ".")))
        for f in sorted(files):
            if f.endswith(".h"):
                p = os.path.join(dirpath, f)
                text = strip_comments(read(p))
                if query[-1] not in text:
                    continue
                for ns, path, start in class_definitions(text):
                    if _matches(query, ns, path):
                        return p, text, start, "::".join(path)
    return None, None, None, None


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
    # the Qt macros without a semicolon and the access labels before the
    # declaration (a constructor right after `Q_OBJECT public:`)
    d = re.sub(r"^(?:(?:Q_OBJECT|Q_GADGET)\b\s*|(?:public|protected|private|signals|public slots|private slots)\s*:\s*)*",
               "", d)
    if not d or "(" not in d or d.startswith(("using ", "friend ", "typedef ", "enum", "static_assert")):
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
    pat = re.compile(r"(?<![\w:])(?:\w+::)*?" + re.escape(cls) + r"::(operator\s*[^\s(]+|~?\w+)\s*\(")
    for dirpath, dirs, files in os.walk(root):
        dirs[:] = [d for d in dirs if not d.startswith(("build", "."))]
        for f in files:
            if not f.endswith(".cpp"):
                continue
            text = strip_comments(read(os.path.join(dirpath, f)))
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
    path, text, start, qualified = find_class(root, cls)
    if not path:
        return None
    decls = [d for d in split_members(class_body(text, start))]
    defs = definitions(root, qualified)
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
    print(f"{'class':<30} {'header':<34} {'methods':>7} {'fwd':>5} {'rest':>5}")
    worst = 0
    for c in classes:
        r = count(root, c)
        if not r:
            print(f"{c:<30} not found")
            continue
        path, total, fwd, rest = r
        worst = max(worst, total - fwd)
        print(f"{c:<30} {path:<34} {total:>7} {fwd:>5} {total - fwd:>5}")
        if listing:
            print("    " + " ".join(rest))
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
