#!/usr/bin/env python3
"""The functions longer than a limit in the C++ sources of the tree.

    funzioni_lunghe.py [--limite N] [--file-oltre N] [--esito] [folders or files...]

Reads every .cpp file under base/, components/ and src/ of the source tree
this script belongs to, or under the folders named, or the files named, and
prints one line per function body longer than the limit (80 lines unless
--limite says otherwise), the longest first:

    <file>:<line> <name> <lines>

The length counts from the line of the function's name to its closing brace.
A pragmatic scanner, not a compiler: comments, string and character
literals (raw strings too) and preprocessor lines are blanked first, then the
braces are matched; a brace opens a function body when the text before it,
since the last ';', '{' or '}' of the enclosing namespace or class, is a
declarator with a parameter list.  Lambdas count inside the function that
holds them.  With --file-oltre N it also prints each source file (.cpp or
.h) longer than N lines, as "<file> <lines> righe".  With --esito it exits 1
when a function or a file is over its limit.
"""

import argparse
import os
import re
import sys

AREE = ("base", "components", "src")
IDENT = re.compile(r"[A-Za-z_~][A-Za-z_0-9]*(?:\s*::\s*~?[A-Za-z_][A-Za-z_0-9]*)*\s*$")
OPERATORE = re.compile(r"\boperator\s*(\(\)|[^\s(]+)")


def pulisci(testo):
    """Comments, literals and preprocessor lines as spaces, the newlines kept."""
    out = []
    i, n = 0, len(testo)
    inizio_riga = True
    while i < n:
        c = testo[i]
        if inizio_riga and c == "#":
            # a preprocessor line, with its continuations
            while i < n and testo[i] != "\n":
                if testo[i] == "\\" and i + 1 < n and testo[i + 1] == "\n":
                    out.append(" \n")
                    i += 2
                    continue
                out.append(" ")
                i += 1
            continue
        if c == "\n":
            inizio_riga = True
            out.append(c)
            i += 1
            continue
        if not c.isspace():
            inizio_riga = False
        if testo.startswith("//", i):
            while i < n and testo[i] != "\n":
                out.append(" ")
                i += 1
            continue
        if testo.startswith("/*", i):
            j = testo.find("*/", i + 2)
            j = n if j < 0 else j + 2
            out.append(re.sub(r"[^\n]", " ", testo[i:j]))
            i = j
            continue
        m = re.match(r'(?:u8|[uUL])?R"([^()\\\s]{0,16})\(', testo[i:i + 24])
        if m and (i == 0 or not (testo[i - 1].isalnum() or testo[i - 1] == "_")):
            fine = ")" + m.group(1) + '"'
            j = testo.find(fine, i + m.end())
            j = n if j < 0 else j + len(fine)
            out.append('""' + re.sub(r"[^\n]", " ", testo[i + 2:j]))
            i = j
            continue
        if c in "\"'":
            if c == "'" and i > 0 and testo[i - 1].isalnum():
                out.append(c)  # a digit separator: 1'000'000
                i += 1
                continue
            j = i + 1
            while j < n and testo[j] != c and testo[j] != "\n":
                j += 2 if testo[j] == "\\" else 1
            j = min(j + 1, n)
            out.append(c + " " * (j - i - 2) + c if j - i >= 2 else c)
            i = j
            continue
        out.append(c)
        i += 1
    return "".join(out)


def parentesi_di_testa(testa):
    """The header without its constructor initializer list and trailing return."""
    profondita = 0
    visto_chiusa = False
    for k, c in enumerate(testa):
        if c in "([<":
            profondita += 1 if c != "<" else 0
        elif c in ")]":
            profondita -= 1
            if profondita == 0 and c == ")":
                visto_chiusa = True
        elif c == ":" and profondita == 0 and visto_chiusa:
            prima = testa[k - 1] if k else ""
            dopo = testa[k + 1] if k + 1 < len(testa) else ""
            if prima != ":" and dopo != ":":
                return testa[:k], True
    return testa, False


def nome_funzione(testa):
    """The name before the parameter list, or None when the header is no function."""
    if re.search(r"\b(namespace|class|struct|union|enum)\b", testa) and "(" not in testa:
        return None
    senza_op = OPERATORE.sub(lambda m: "operator_" + str(len(m.group(1))), testa)
    dichiaratore, _ = parentesi_di_testa(senza_op)
    dichiaratore = re.sub(r"->.*$", "", dichiaratore, flags=re.S)
    # '=' at the top level: an initializer (a table, a lambda), not a function
    profondita = 0
    for c in dichiaratore:
        if c == "(":
            profondita += 1
        elif c == ")":
            profondita -= 1
        elif c == "=" and profondita == 0:
            return None
    # the last parameter list at the top level and the name before it
    fine = dichiaratore.rfind(")")
    if fine < 0:
        return None
    profondita = 0
    k = fine
    while k >= 0:
        if dichiaratore[k] == ")":
            profondita += 1
        elif dichiaratore[k] == "(":
            profondita -= 1
            if profondita == 0:
                break
        k -= 1
    prima = dichiaratore[:k]
    # trailing qualifiers such as const, noexcept, override follow the list
    resto = dichiaratore[fine + 1:]
    if re.sub(r"\b(const|noexcept|override|final|volatile|mutable)\b|[&\s]", "", resto):
        return None
    m = IDENT.search(prima)
    if not m:
        return None
    nome = re.sub(r"\s+", "", m.group(0))
    if nome.split("::")[-1] in ("if", "for", "while", "switch", "catch", "return", "sizeof",
                                "decltype", "alignof", "static_assert"):
        return None
    ultimo = nome.split("::")[-1]
    if ultimo.startswith("operator_"):
        # put the operator back as it was written
        m_op = OPERATORE.search(testa)
        nome = nome[: len(nome) - len(ultimo)] + ("operator" + m_op.group(1) if m_op else ultimo)
    return nome


def funzioni(testo):
    """(line, name, lines) of every function body of a cleaned text."""
    trovate = []
    riga_di = []
    r = 1
    for c in testo:
        riga_di.append(r)
        if c == "\n":
            r += 1
    i, n = 0, len(testo)
    inizio_testa = 0

    def chiusa(da):
        """The index of the brace closing the one at da."""
        profondita = 0
        for j in range(da, n):
            if testo[j] == "{":
                profondita += 1
            elif testo[j] == "}":
                profondita -= 1
                if profondita == 0:
                    return j
        return n - 1

    while i < n:
        c = testo[i]
        if c in ";}":
            inizio_testa = i + 1
        elif c == "{":
            testa = testo[inizio_testa:i]
            nome = nome_funzione(testa)
            if nome is None and re.search(r"\b(namespace|class|struct|union|extern)\b", testa) \
                    and "=" not in testa:
                inizio_testa = i + 1  # a scope: its members are read one by one
            else:
                _, con_lista = parentesi_di_testa(testa)
                precedente = testa.rstrip()[-1:] if testa.strip() else ""
                if nome is not None and con_lista and (precedente.isalnum() or
                                                      precedente in "_>"):
                    # a member initialized with braces: the initializer list goes on
                    i = chiusa(i) + 1
                    continue
                j = chiusa(i)
                if nome is not None:
                    pos = testa.find(nome.split("::")[0].split("operator")[0] or nome)
                    pos = inizio_testa + (pos if pos >= 0 else len(testa))
                    while pos < i and testo[pos].isspace():
                        pos += 1
                    trovate.append((riga_di[pos], nome, riga_di[j] - riga_di[pos] + 1))
                i = j + 1
                inizio_testa = i
                continue
        i += 1
    return trovate


def sorgenti(cartella, estensioni=(".cpp",)):
    for dentro, sotto, file in os.walk(cartella):
        sotto.sort()
        for f in sorted(file):
            if f.endswith(estensioni):
                yield os.path.join(dentro, f)


def main():
    a = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    a.add_argument("--limite", type=int, default=80)
    a.add_argument("--file-oltre", type=int, default=0)
    a.add_argument("--esito", action="store_true")
    a.add_argument("percorsi", nargs="*")
    opz = a.parse_args()
    radice = os.path.dirname(os.path.dirname(os.path.realpath(__file__)))
    file = []
    for p in opz.percorsi or [os.path.join(radice, a) for a in AREE]:
        file += list(sorgenti(p)) if os.path.isdir(p) else [p]
    lunghe = []
    for f in file:
        with open(f, encoding="utf-8", errors="replace") as t:
            testo = pulisci(t.read())
        for riga, nome, righe in funzioni(testo):
            if righe > opz.limite:
                lunghe.append((righe, os.path.relpath(os.path.realpath(f), radice), riga, nome))
    lunghe.sort(key=lambda x: (-x[0], x[1], x[2]))
    for righe, f, riga, nome in lunghe:
        print("%s:%d %s %d" % (f, riga, nome, righe))
    grandi = []
    if opz.file_oltre > 0:
        for p in opz.percorsi or [os.path.join(radice, a) for a in AREE]:
            for f in list(sorgenti(p, (".cpp", ".h"))) if os.path.isdir(p) else [p]:
                with open(f, encoding="utf-8", errors="replace") as t:
                    righe = t.read().count("\n")
                if righe > opz.file_oltre:
                    grandi.append((righe, os.path.relpath(os.path.realpath(f), radice)))
    grandi.sort(key=lambda x: (-x[0], x[1]))
    for righe, f in grandi:
        print("%s %d righe" % (f, righe))
    return 1 if opz.esito and (lunghe or grandi) else 0


if __name__ == "__main__":
    sys.exit(main())
