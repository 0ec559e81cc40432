#!/usr/bin/env python3
"""The layering check: every include line against the targets' link lines.

    strati.py <build>/strati.txt <source root>

strati.txt is written by the root CMakeLists.txt at configure time: one line
per target, tab-separated: name, type, folder, sources, PUBLIC links, PRIVATE
links (lists separated by ';', the project's own targets only).

The tree has three floors: base/ (what every part shares), components/ (the
suite's components) over it, src/ (the program) on top.  A library of
base/<name>/, components/<name>/ or src/<name>/ publishes its headers as
"<name>/Header.h".  A file may include:
  - a header of its own folder, by its bare name or by "<name>/...";
  - a header of a library its target sees: the libraries it links and,
    through each of them, their PUBLIC libraries, transitively;
  - a header of a static library may include only what the library's
    PUBLIC links give (whoever includes it sees no more than that).
Besides, the link graph has no cycle, and the floors hold for every target
of base/, components/ and src/ (libraries and programs alike): base/ links
nothing above it, and base/comune nothing of the project at all;
components/ links only components/ and base/; the program (src/) links
base/ and src/, and only src/startup/ links components as well.

Exits 1 and lists every breach, 0 when there is none.
"""

import os
import re
import sys

INCLUDE = re.compile(r'^\s*#\s*include\s*"([^"]+)"')
ESTENSIONI = (".h", ".hpp", ".cpp", ".cc")
AREE = ("base", "components", "src")
# Which floors a target of each floor may link.
PIANI_PERMESSI = {"base": ("base",), "components": ("base", "components"), "src": ("base", "src")}


def leggi_tabella(percorso):
    target = {}
    with open(percorso, encoding="utf-8") as f:
        for riga in f:
            riga = riga.rstrip("\n")
            if not riga:
                continue
            campi = riga.split("\t")
            campi += [""] * (6 - len(campi))
            nome, tipo, cartella, sorgenti, pubbliche, private = campi[:6]
            lista = lambda s: [x for x in s.split(";") if x]
            target[nome] = {
                "tipo": tipo,
                "cartella": os.path.realpath(cartella),
                "sorgenti": {os.path.realpath(x) for x in lista(sorgenti)},
                "pubbliche": lista(pubbliche),
                "private": lista(private),
            }
    # Links to targets the table does not hold (interface-only targets) do
    # not count.
    for t in target.values():
        t["pubbliche"] = [x for x in t["pubbliche"] if x in target]
        t["private"] = [x for x in t["private"] if x in target]
    return target


def main():
    if len(sys.argv) != 3:
        print(__doc__, file=sys.stderr)
        return 2
    target = leggi_tabella(sys.argv[1])
    radice = os.path.realpath(sys.argv[2])
    errori = []

    # The library folders: base/<name>, components/<name> and src/<name>,
    # each publishing <name>.
    def cartella_libreria(percorso):
        rel = os.path.relpath(percorso, radice).split(os.sep)
        if len(rel) >= 2 and rel[0] in AREE:
            return os.path.join(radice, rel[0], rel[1])
        return None

    nome_di = {}  # library target -> published folder name
    cartella_di_nome = {}  # published name -> folder
    for nome, t in target.items():
        c = cartella_libreria(t["cartella"])
        if t["tipo"] == "STATIC_LIBRARY" and c is not None and c == t["cartella"]:
            nome_di[nome] = os.path.basename(c)
            cartella_di_nome[os.path.basename(c)] = c

    def rel(p):
        return os.path.relpath(p, radice)

    # The link graph has no cycle.
    stato = {}

    def visita(n, pila):
        stato[n] = 1
        pila.append(n)
        for d in target[n]["pubbliche"] + target[n]["private"]:
            if stato.get(d) == 1:
                ciclo = pila[pila.index(d):] + [d]
                errori.append("cycle in the link graph: " + " -> ".join(ciclo))
            elif d not in stato:
                visita(d, pila)
        pila.pop()
        stato[n] = 2

    for n in sorted(target):
        if n not in stato:
            visita(n, [])
    if errori:
        for e in errori:
            print(e)
        return 1

    cache_pub = {}

    def chiusura_pubblica(n):
        if n not in cache_pub:
            s = {n}
            for p in target[n]["pubbliche"]:
                s |= chiusura_pubblica(p)
            cache_pub[n] = s
        return cache_pub[n]

    def visibili(n):
        s = {n}
        for d in target[n]["pubbliche"] + target[n]["private"]:
            s |= chiusura_pubblica(d)
        return s

    def chiusura_link(n, s=None):
        s = set() if s is None else s
        for d in target[n]["pubbliche"] + target[n]["private"]:
            if d not in s:
                s.add(d)
                chiusura_link(d, s)
        return s

    def nomi(insieme):
        return {nome_di[x] for x in insieme if x in nome_di}

    # The floors: the area and the folder of every target of base/,
    # components/ and src/ against those of every library it links.
    def area(n):
        c = cartella_libreria(target[n]["cartella"])
        if c is None:
            return None
        return os.path.basename(os.path.dirname(c)), os.path.basename(c)

    for n in sorted(target):
        dove_n = area(n)
        if dove_n is None:
            continue
        a, c = dove_n
        for d in sorted(x for x in chiusura_link(n) if x in nome_di):
            ad, cd = area(d)
            if (ad, cd) == (a, c):
                continue
            if (a, c) == ("base", "comune"):
                giusto = False
            elif (a, c) == ("src", "startup"):
                giusto = True
            else:
                giusto = ad in PIANI_PERMESSI[a]
            if not giusto:
                errori.append("%s (%s/%s) must not depend on %s (%s/%s)" % (n, a, c, d, ad, cd))

    # Each file: the targets it belongs to.
    per_cartella = {}
    for n, t in target.items():
        per_cartella.setdefault(t["cartella"], []).append(n)

    def proprietari(f):
        chi = [n for n, t in target.items() if f in t["sorgenti"]]
        if chi:
            return chi, False
        d = os.path.dirname(f)
        while d.startswith(radice) and d != radice:
            if d in per_cartella:
                return per_cartella[d], True
            d = os.path.dirname(d)
        return [], False

    for area_file in AREE + ("tests", "bench"):
        base = os.path.join(radice, area_file)
        for cartella, _, file in os.walk(base):
            for nome_file in sorted(file):
                if not nome_file.endswith(ESTENSIONI):
                    continue
                f = os.path.realpath(os.path.join(cartella, nome_file))
                chi, per_vicinanza = proprietari(f)
                if not chi:
                    continue
                intestazione = nome_file.endswith((".h", ".hpp"))
                permessi = None
                for n in chi:
                    if intestazione and target[n]["tipo"] == "STATIC_LIBRARY":
                        s = nomi(chiusura_pubblica(n))
                    else:
                        s = nomi(visibili(n))
                    if permessi is None:
                        permessi = s
                    elif per_vicinanza:
                        permessi = permessi | s
                    else:
                        permessi = permessi & s
                propria = cartella_libreria(f)
                propria_nome = os.path.basename(propria) if propria else None
                with open(f, encoding="utf-8", errors="replace") as testo:
                    for num, riga in enumerate(testo, 1):
                        m = INCLUDE.match(riga)
                        if not m:
                            continue
                        inc = m.group(1)
                        dove = "%s:%d: #include \"%s\"" % (rel(f), num, inc)
                        parti = inc.split("/")
                        if parti[0] in (".", "..") or ".." in parti:
                            arrivo = os.path.realpath(os.path.join(os.path.dirname(f), inc))
                            c = cartella_libreria(arrivo)
                            if c and c != propria:
                                errori.append("%s: a header of %s reached by a relative path; "
                                              "include it as \"%s/%s\"" %
                                              (dove, rel(c), os.path.basename(c),
                                               os.path.relpath(arrivo, c)))
                            continue
                        if len(parti) < 2 or parti[0] not in cartella_di_nome:
                            continue
                        if parti[0] == propria_nome or parti[0] in permessi:
                            continue
                        quale = "the public links of" if (
                            intestazione and all(target[n]["tipo"] == "STATIC_LIBRARY"
                                                 for n in chi)) else "the links of"
                        errori.append("%s: %s is not among %s %s (it sees: %s)" %
                                      (dove, rel(cartella_di_nome[parti[0]]), quale,
                                       ", ".join(sorted(chi)),
                                       ", ".join(sorted(permessi)) or "nothing"))

    for e in errori:
        print(e)
    if errori:
        print("strati: %d breach(es) of the layering" % len(errori))
        return 1
    print("strati: %d targets, no breach" % len(target))
    return 0


if __name__ == "__main__":
    sys.exit(main())
