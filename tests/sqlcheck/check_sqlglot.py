"""Parses SQL statements with sqlglot and reports what kind of statement each one is.

Input (the file named by the first argument): records separated by a line holding only the
character U+001E; the first line of a record is "<id> <dialect>", the rest is one statement.
Output: one line per record, "<id>\t<1|0>\t<kind>\t<error>". A statement counts only when it
parses as exactly one statement and no part of it fell back to sqlglot's catch-all Command node.
"""
import sys

import sqlglot
from sqlglot import exp


def kind_of(tree):
    if isinstance(tree, exp.Create):
        return "CREATE " + str(tree.args.get("kind") or "").upper()
    if isinstance(tree, exp.Drop):
        return "DROP " + str(tree.args.get("kind") or "").upper()
    if isinstance(tree, exp.AlterTable):
        return "ALTER TABLE"
    return type(tree).__name__.upper()


def check(dialect, sql):
    try:
        trees = [t for t in sqlglot.parse(sql, read=dialect) if t is not None]
    except Exception as error:  # every parse error is a rejection
        return False, "", " ".join(str(error).split())[:200]
    if len(trees) != 1:
        return False, "", "%d statements" % len(trees)
    tree = trees[0]
    # walk() yields (node, parent, key) triples.
    if any(isinstance(step[0], exp.Command) for step in tree.walk()):
        return False, "", "only understood as a command"
    return True, kind_of(tree), ""


def main():
    text = open(sys.argv[1], encoding="utf-8").read()
    out = []
    for record in text.split("\n\x1e\n"):
        if not record.strip():
            continue
        head, _, sql = record.partition("\n")
        ident, dialect = head.split(" ", 1)
        ok, kind, error = check(dialect, sql)
        out.append("%s\t%d\t%s\t%s" % (ident, 1 if ok else 0, kind, error.replace("\t", " ")))
    sys.stdout.write("\n".join(out) + "\n")


if __name__ == "__main__":
    main()
