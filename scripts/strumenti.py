#!/usr/bin/env python3
"""Every tool the tests use comes from a package scripts/bootstrap.sh installs.

  strumenti.py SOURCE-DIR

Reads the tests, the scripts and the benchmarks for what they run: the
commands of the shell scripts (and the Python modules their here-documents
import), the modules the Python scripts import, the programs the C++ tests
start through QProcess or look up with QStandardPaths::findExecutable (by a
literal name, also through a helper of the same file that passes its
argument on to QProcess), the libraries loaded through ctypes and the
programs CMake looks for with find_program.  Each one needs a row in
scripts/bootstrap-strumenti.txt naming the Debian package that brings it,
and the package must be in a list of scripts/bootstrap.sh (or be essential
or required, on every Debian system).  Where that package is installed, the
row must agree with dpkg: the file dpkg -S names belongs to the package of
the row or to one it depends on, directly or not.

Exits 1 naming each tool that fails, 0 otherwise.
"""
import os
import re
import shutil
import subprocess
import sys

TABELLA = "scripts/bootstrap-strumenti.txt"
BOOTSTRAP = "scripts/bootstrap.sh"
CARTELLE = ("tests", "scripts", "bench")
# Scripts that run on the host to prepare a machine, never under the tests:
# they install what they use themselves.
FUORI = {"scripts/macchina-nuova.sh"}

SHELL_INTERNI = set("""
    . : [ [[ ]] { } ! alias bg bind break builtin caller case cd command compgen complete
    continue coproc declare dirs disown do done echo elif else enable esac eval exec exit export
    false fc fg fi for function getopts hash help history if in jobs kill let local logout
    mapfile popd printf pushd pwd read readarray readonly return select set shift shopt
    source suspend test then time times trap true type typeset ulimit umask unalias unset
    until wait while
""".split())
# Commands that run the next word as a command (their options skipped).
PREFISSI = {"exec", "command", "builtin", "nohup", "env", "sudo", "time", "xargs",
            "dbus-run-session", "runuser", "timeout", "stdbuf", "nice", "xvfb-run"}
# their options that take the next word
CON_ARGOMENTO = {"-u", "-g", "-G", "-n", "-s", "-e", "-f", "-p", "-w", "-k"}


class Uso:
    def __init__(self, tipo, nome, dove):
        self.tipo, self.nome, self.dove = tipo, nome, dove


# ---- shell ---------------------------------------------------------------

def _senza_commento(riga):
    """The text without its comments (a # starting a word, outside quotes)."""
    fuori, q, prec, commento = [], None, " ", False
    for c in riga:
        if commento:
            if c != "\n":
                continue
            commento = False
        elif q:
            if c == q:
                q = None
        elif c in "'\"":
            q = c
        elif c == "#" and prec in " \t;|&(\n":
            commento = True
            continue
        fuori.append(c)
        prec = c
    return "".join(fuori)


def _parole(testo):
    """Words and operators of a shell line; quoted text kept as one word,
    $( and backquotes opening a command of their own."""
    parole, w, i, n = [], "", 0, len(testo)
    def chiudi():
        nonlocal w
        if w:
            parole.append(w)
            w = ""
    while i < n:
        c = testo[i]
        if c in " \t":
            chiudi()
        elif testo.startswith("$((", i):
            chiudi()
            fine = testo.find("))", i)
            i = n if fine < 0 else fine + 1
        elif testo.startswith("$(", i):
            chiudi()
            parole.append(";")
            i += 1
        elif c == "`":
            chiudi()
            parole.append(";")
        elif c == '"':
            # a command substitution in double quotes is a command too
            fine = i + 1
            while fine < n and testo[fine] != '"':
                fine += 2 if testo[fine] == "\\" else 1
            dentro = testo[i + 1:fine]
            if "$(" in dentro:
                chiudi()
                for m in re.finditer(r"\$\(([^()]*)", dentro):
                    parole.append(";")
                    parole.extend(_parole(m.group(1)))
                parole.append("$")
            else:
                w += dentro if dentro else "''"
            i = fine
        elif c == "'":
            fine = testo.find("'", i + 1)
            fine = n if fine < 0 else fine
            w += testo[i + 1:fine] or "''"
            i = fine
        elif c in ";|&()<>":
            chiudi()
            op = testo[i:i + 3] if testo[i:i + 3] == "<<<" else testo[i:i + 2]
            if op not in ("&&", "||", ";;", "((", "))", ">>", "<<", "|&", "&>", ">&", "<&", "<<<"):
                op = c
            parole.append(op)
            i += len(op) - 1
        else:
            w += c
        i += 1
    chiudi()
    return parole


def _quota_aperta(testo):
    """The quote a shell text leaves open at its end ('' when none)."""
    q, prec, i = "", " ", 0
    while i < len(testo):
        c = testo[i]
        if q == "'":
            if c == "'":
                q = ""
        elif c == "\\":
            i += 1
        elif q == '"':
            if c == '"':
                q = ""
        elif c in "'\"":
            q = c
        elif c == "#" and prec in " \t;|&(":
            while i < len(testo) and testo[i] != "\n":
                i += 1
        prec = c
        i += 1
    return q


def funzioni_shell(file):
    """The functions a shell file defines (the scripts that source it call them)."""
    return set(re.findall(r"^\s*(?:function\s+)?([\w.-]+)\s*\(\)", open(file, encoding="utf-8",
                          errors="replace").read(), re.M))


def leggi_shell(file, rel, usi, funzioni):
    righe = open(file, encoding="utf-8", errors="replace").read().split("\n")
    i = 0
    matrice = 0  # inside a multi-line array assignment
    while i < len(righe):
        inizio = i
        riga = righe[i]
        i += 1
        # one logical line: continued by a backslash or by an open quote
        while i < len(righe) and (riga.endswith("\\") or _quota_aperta(riga)):
            riga = (riga[:-1] + " " if riga.endswith("\\") else riga + "\n") + righe[i]
            i += 1
        testo = _senza_commento(riga)
        if matrice:
            matrice = max(matrice + testo.count("(") - testo.count(")"), 0)
            continue
        if re.search(r"\w+=\(", testo) and testo.count("(") > testo.count(")"):
            matrice = testo.count("(") - testo.count(")")
            continue
        # a here-document: its body is data, or Python (for python3, or named so)
        doc = re.search(r"<<-?\s*(['\"]?)(\w+)\1", testo)
        if doc:
            fine = doc.group(2)
            corpo = []
            while i < len(righe) and righe[i].strip() != fine:
                corpo.append((i + 1, righe[i]))
                i += 1
            i += 1
            if fine in ("PY", "PYTHON") or re.search(r"python3?\b|\bPYTHON\b", testo[:doc.start()]):
                for n, r in corpo:
                    _importa(r, f"{rel}:{n}", usi)
        _comandi(_parole(testo), funzioni, f"{rel}:{inizio + 1}", usi)


def _comandi(parole, funzioni, dove, usi):
    inizio = True  # the next word is in a command's place
    dopo_prefisso = False
    salta_arg = False
    salta = 0  # [[ ... ]] or (( ... )): no commands inside
    for k, p in enumerate(parole):
        if salta:
            if p in ("]]", "))"):
                salta = 0
            continue
        if p in (";", ";;", "|", "||", "&&", "&", "(", "|&", "$", "{", "}", "!"):
            inizio = True
            dopo_prefisso = False
            continue
        if p in ("((",):
            salta = 1
            continue
        if p in (")", "))", "<", ">", ">>", "<<", "<&", ">&", "<<<", "&>"):
            inizio = p not in ("<", ">", ">>", "<<", "<&", ">&", "<<<", "&>") and inizio
            if p in ("<", ">", ">>", "<&", ">&", "<<<", "&>"):
                inizio = False
            continue
        if not inizio:
            continue
        if p == "[[":
            salta = 1
            continue
        if p in ("if", "then", "else", "elif", "do", "while", "until", "!", "time"):
            continue
        if p in ("for", "case", "select", "function", "local", "declare", "export", "readonly",
                 "return", "exit", "echo", "printf", "read", "trap", "set", "unset", "shift",
                 "eval", "cd", "wait", "kill", "source", ".", "test", "[", "true", "false",
                 ":", "mapfile", "readarray", "let", "ulimit", "umask", "break", "continue"):
            inizio = False
            continue
        if re.match(r"^[A-Za-z_]\w*(\[[^]]*\])?\+?=", p):  # an assignment before the command
            continue
        if dopo_prefisso:
            if p.startswith("-"):
                salta_arg = p in CON_ARGOMENTO
                continue
            if salta_arg or re.match(r"^\d+[smhd]?$", p):  # an option's value, a timeout
                salta_arg = False
                continue
        nome = p
        if nome.startswith("/") and re.match(r"^/(usr/)?s?bin/[\w.+-]+$", nome):
            nome = os.path.basename(nome)
        if nome in PREFISSI:
            if nome not in SHELL_INTERNI:
                usi.append(Uso("comando", nome, dove))
            dopo_prefisso = True
            continue
        inizio = False
        dopo_prefisso = False
        if (not re.match(r"^[A-Za-z][\w.+-]*$", nome) or nome in SHELL_INTERNI
                or nome in funzioni or nome.endswith(")")):
            continue
        if k + 1 < len(parole) and parole[k + 1] == ")":  # a case pattern
            continue
        usi.append(Uso("comando", nome, dove))


# ---- Python --------------------------------------------------------------

STDLIB = set(getattr(sys, "stdlib_module_names", ())) | set(sys.builtin_module_names)


def _importa(riga, dove, usi, locali=()):
    m = re.match(r"\s*(?:import\s+([\w., ]+)|from\s+([\w.]+)\s+import\b)", riga)
    if not m:
        return
    nomi = m.group(1).split(",") if m.group(1) else [m.group(2)]
    for n in nomi:
        n = n.strip().split(" ")[0].split(".")[0]
        if n and n not in STDLIB and n not in locali and n != "__future__":
            usi.append(Uso("python", n, dove))


def leggi_python(file, rel, usi):
    locali = {os.path.splitext(f)[0] for f in os.listdir(os.path.dirname(file))}
    for n, riga in enumerate(open(file, encoding="utf-8", errors="replace"), 1):
        _importa(riga, f"{rel}:{n}", usi, locali)
        for m in re.finditer(r"LoadLibrary\(\s*[rb]?\"([^\"]+)\"", riga):
            usi.append(Uso("libreria", m.group(1), f"{rel}:{n}"))
        for m in re.finditer(r"subprocess\.\w+\(\s*\[\s*[rb]?\"([\w.+-]+)\"", riga):
            usi.append(Uso("comando", m.group(1), f"{rel}:{n}"))


# ---- C++ and CMake -------------------------------------------------------

LETTERALE = r'(?:QStringLiteral|QLatin1String|QString::fromLatin1|QString::fromUtf8|u)?\(?\s*"([^"]+)"'


def _programma(testo):
    if testo.startswith("/"):
        return os.path.basename(testo) if re.match(r"^/(usr/)?s?bin/[\w.+-]+$", testo) else None
    return testo if re.match(r"^[A-Za-z][\w.+-]*$", testo) else None


def leggi_cpp(file, rel, usi):
    testo = open(file, encoding="utf-8", errors="replace").read()
    riga = lambda pos: testo.count("\n", 0, pos) + 1
    avvii = r"(?:\.start|\.startDetached|::startDetached|::execute|\.setProgram|findExecutable)\s*\(\s*"
    trovati = []
    for m in re.finditer(avvii + LETTERALE, testo):
        trovati.append((m.group(1), m.start()))
    # a variable or a parameter handed to QProcess
    for m in re.finditer(avvii + r"([A-Za-z_]\w*)\s*[,)]", testo):
        var = m.group(1)
        for a in re.finditer(r"\b" + var + r"\s*=\s*" + LETTERALE, testo):
            trovati.append((a.group(1), a.start()))
        # the helper whose parameter it is, called with a literal
        prima = testo[:m.start()]
        f = None
        for d in re.finditer(r"(\w+)\s*\(([^()]*\bQString\s*&?\s*" + var + r"\b[^()]*)\)"
                             r"\s*(?:const\s*)?\{", prima):
            f = d
        if f and f.group(2).split(",")[0].strip().endswith(var):
            for c in re.finditer(r"\b" + f.group(1) + r"\s*\(\s*" + LETTERALE, testo):
                trovati.append((c.group(1), c.start()))
    for nome, pos in trovati:
        p = _programma(nome)
        if p:
            usi.append(Uso("comando", p, f"{rel}:{riga(pos)}"))


def leggi_cmake(file, rel, usi):
    testo = open(file, encoding="utf-8", errors="replace").read()
    for m in re.finditer(r"find_program\s*\(\s*\w+\s+(?:NAMES\s+)?([\w.+-]+)", testo):
        usi.append(Uso("comando", m.group(1), f"{rel}:{testo.count(chr(10), 0, m.start()) + 1}"))


def usi_del_progetto(radice):
    usi = []
    funzioni = set()
    for cartella in CARTELLE:
        for base, dirs, files in os.walk(os.path.join(radice, cartella)):
            for f in files:
                if f.endswith(".sh"):
                    funzioni |= funzioni_shell(os.path.join(base, f))
    for cartella in CARTELLE:
        for base, dirs, files in os.walk(os.path.join(radice, cartella)):
            dirs.sort()
            for f in sorted(files):
                file = os.path.join(base, f)
                rel = os.path.relpath(file, radice)
                if rel in FUORI:
                    continue
                if f.endswith(".sh"):
                    leggi_shell(file, rel, usi, funzioni)
                elif f.endswith(".py"):
                    leggi_python(file, rel, usi)
                elif f.endswith((".cpp", ".h")):
                    leggi_cpp(file, rel, usi)
                elif f == "CMakeLists.txt" or f.endswith(".cmake"):
                    leggi_cmake(file, rel, usi)
    leggi_cmake(os.path.join(radice, "CMakeLists.txt"), "CMakeLists.txt", usi)
    return usi


# ---- the bootstrap, its table, dpkg ---------------------------------------

def pacchetti_bootstrap(radice):
    testo = open(os.path.join(radice, BOOTSTRAP), encoding="utf-8").read()
    pacchetti = set()
    for m in re.finditer(r"^\w+_PACKAGES=\((.*?)^\)", testo, re.S | re.M):
        for riga in m.group(1).split("\n"):
            pacchetti.update(riga.split("#")[0].split())
    return pacchetti


def tabella(radice):
    righe = {}
    for n, riga in enumerate(open(os.path.join(radice, TABELLA), encoding="utf-8"), 1):
        campi = riga.split("#")[0].split()
        if not campi:
            continue
        if len(campi) != 3 or campi[0] not in ("comando", "python", "libreria"):
            raise SystemExit(f"{TABELLA}:{n}: expected 'comando|python|libreria NAME PACKAGE'")
        righe[(campi[0], campi[1])] = (campi[2], n)
    return righe


_PACCHETTI = None


def pacchetti():
    """The packages dpkg knows: name -> (installed, essential or required,
    the names it depends on, pre-depends included, and provides)."""
    global _PACCHETTI
    if _PACCHETTI is None:
        _PACCHETTI = {}
        r = subprocess.run(["dpkg-query", "-W", "-f=${Package}\t${Status}\t${Essential}\t${Priority}\t"
                            "${Provides}\t${Depends},${Pre-Depends}\n"], capture_output=True, text=True)
        nomi = lambda t: {re.split(r"[\s(:]", a.strip())[0] for d in t.split(",") for a in d.split("|")
                          if a.strip()}
        for riga in r.stdout.split("\n"):
            c = riga.split("\t")
            if len(c) == 6:
                _PACCHETTI[c[0]] = (c[1].endswith(" installed"), c[2] == "yes" or c[3] == "required",
                                    nomi(c[5]), nomi(c[4]))
    return _PACCHETTI


def installato(pacchetto):
    return pacchetti().get(pacchetto, (False,))[0]


def di_base(pacchetto):
    """On every Debian system: essential or required (and so installed)."""
    p = pacchetti().get(pacchetto)
    return bool(p and p[0] and p[1])


def dipendenze(pacchetto):
    """The installed packages pacchetto brings: itself and its Depends and
    Pre-Depends, followed through (what installing it installs); a virtual
    package stands for whoever provides it."""
    tutti = pacchetti()
    fornitori = {}
    for nome, (inst, _, _, fornisce) in tutti.items():
        if inst:
            for f in fornisce:
                fornitori.setdefault(f, set()).add(nome)
    visti, da_fare = set(), [pacchetto]
    while da_fare:
        p = da_fare.pop()
        if p in visti:
            continue
        if not installato(p):
            da_fare.extend(fornitori.get(p, ()))
            continue
        visti.add(p)
        da_fare.extend(tutti[p][2])
    return visti


def candidati(percorso):
    """The names dpkg may know a file by (/usr-merge, alternatives links)."""
    c = [percorso]
    if percorso.startswith("/usr/"):
        c.append(percorso[4:])
    elif percorso.startswith(("/bin/", "/sbin/", "/lib/")):
        c.append("/usr" + percorso)
    vero = os.path.realpath(percorso)
    if vero != percorso:
        c.append(vero)
    return c


def proprietari(percorsi):
    """For each file, the packages dpkg -S says it belongs to (one dpkg call)."""
    tutti = sorted({c for p in percorsi for c in candidati(p)})
    if not tutti:
        return {}
    r = subprocess.run(["dpkg-query", "-S"] + tutti, capture_output=True, text=True)
    di = {}
    for riga in r.stdout.split("\n"):
        if riga.startswith("diversion") or ": " not in riga:
            continue
        chi, file = riga.split(": ", 1)
        di[file.strip()] = {p.strip().split(":")[0] for p in chi.split(",")}
    return {p: next((di[c] for c in candidati(p) if c in di), set()) for p in percorsi}


def file_di(usati):
    """Where each tool used is on this machine: (type, name) -> path or None."""
    dove = {}
    moduli = sorted(n for t, n in usati if t == "python")
    origini = {}
    if moduli:
        r = subprocess.run(["/usr/bin/python3", "-c", """
import importlib.util, sys
for n in sys.argv[1:]:
    try:
        s = importlib.util.find_spec(n)
    except Exception:
        s = None
    o = s and (s.origin or next(iter(s.submodule_search_locations or []), None))
    print(n, o or "")
"""] + moduli, capture_output=True, text=True)
        for riga in r.stdout.split("\n"):
            if riga.strip():
                n, _, o = riga.partition(" ")
                origini[n] = o.strip() or None
    librerie = {}
    if any(t == "libreria" for t, _ in usati):
        r = subprocess.run(["/sbin/ldconfig", "-p"], capture_output=True, text=True)
        for riga in r.stdout.split("\n")[1:]:
            nome, _, percorso = riga.strip().partition(" => ")
            if "x86-64" in nome or "64bit" in nome or nome.endswith("(libc6)"):
                librerie.setdefault(nome.split(" ")[0], percorso.strip())
    for t, n in usati:
        if t == "comando":
            dove[(t, n)] = next((os.path.join(d, n) for d in ("/usr/bin", "/usr/sbin", "/bin", "/sbin")
                                 if os.path.exists(os.path.join(d, n))), None)
        elif t == "python":
            dove[(t, n)] = origini.get(n)
        else:
            dove[(t, n)] = librerie.get(n)
    return dove


def main():
    radice = sys.argv[1] if len(sys.argv) > 1 else os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
    usi = usi_del_progetto(radice)
    righe = tabella(radice)
    installa = pacchetti_bootstrap(radice)
    dpkg = shutil.which("dpkg-query") is not None
    errori = []
    per_nome = {}
    for u in usi:
        per_nome.setdefault((u.tipo, u.nome), []).append(u.dove)
    # where dpkg can check the table: the tools of the rows whose package is installed
    dove = file_di([k for k in per_nome if k in righe and installato(righe[k][0])]) if dpkg else {}
    di = proprietari([f for f in dove.values() if f])
    descr = {"comando": "the command", "python": "the Python module", "libreria": "the library"}
    for (tipo, nome), usato in sorted(per_nome.items()):
        chi = f"{descr[tipo]} {nome} ({', '.join(usato[:3])}{', ...' if len(usato) > 3 else ''})"
        if (tipo, nome) not in righe:
            errori.append(f"{chi}: no row in {TABELLA} names its Debian package")
            continue
        pacchetto, n = righe[(tipo, nome)]
        if pacchetto not in installa and not (dpkg and di_base(pacchetto)):
            errori.append(f"{chi}: its package {pacchetto} ({TABELLA}:{n}) is installed by no list "
                          f"of {BOOTSTRAP}")
        if (tipo, nome) not in dove:
            continue
        file = dove[(tipo, nome)]
        if not file:
            errori.append(f"{chi}: {pacchetto} ({TABELLA}:{n}) is installed here and does not "
                          f"provide it")
        elif di.get(file) and not di[file] & dipendenze(pacchetto):
            errori.append(f"{chi}: {TABELLA}:{n} says {pacchetto}, dpkg -S says {file} "
                          f"comes from {', '.join(sorted(di[file]))}")
    for (tipo, nome), (pacchetto, n) in sorted(righe.items(), key=lambda x: x[1][1]):
        if (tipo, nome) not in per_nome:
            print(f"strumenti: note: {TABELLA}:{n} ({tipo} {nome}) is used by nothing any more")
    for e in errori:
        print(f"strumenti: {e}")
    if errori:
        print(f"strumenti: {len(errori)} tool(s) without a package of the bootstrap")
        return 1
    print(f"strumenti: {len(per_nome)} tools, each from a package of the bootstrap")
    return 0


if __name__ == "__main__":
    sys.exit(main())
