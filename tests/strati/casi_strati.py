#!/usr/bin/env python3
"""The layering check on a small tree of its own: a sound tree passes, and
each breach of the floors (base/ under components/ under src/) or of the
include rule is refused, named in the report.

    casi_strati.py <scripts/strati.py>
"""

import os
import subprocess
import sys
import tempfile
import unittest

STRATI = None

# The sound tree: two base libraries, a component on them, a folder of the
# program on the base and the start-up wiring the component in.  Each target:
# (type, folder, PUBLIC links, PRIVATE links, includes of its one source).
SANO = {
    "quarvel_comune": ("STATIC_LIBRARY", "base/comune", [], [], []),
    "quarvel_suite": ("STATIC_LIBRARY", "base/suite", ["quarvel_comune"], [],
                      ["comune/Profilo.h"]),
    "comp_data": ("STATIC_LIBRARY", "components/data", ["quarvel_suite"], [],
                  ["suite/Errore.h", "comune/Profilo.h"]),
    "comp_utility": ("STATIC_LIBRARY", "components/utility", [], ["quarvel_comune"],
                     ["comune/Profilo.h"]),
    "quarvel_config": ("STATIC_LIBRARY", "src/config", [], ["quarvel_suite"],
                       ["suite/Errore.h"]),
    "quarvel_startup": ("STATIC_LIBRARY", "src/startup", [],
                        ["comp_data", "quarvel_config"],
                        ["data/Dati.h", "config/Ini.h", "suite/Errore.h"]),
    "quarvel-ditta": ("EXECUTABLE", "components/data/tools", [], ["comp_data"],
                      ["data/Dati.h"]),
}


def con(**cambi):
    """The sound tree with some targets changed or added."""
    albero = dict(SANO)
    albero.update(cambi)
    return albero


# (case, tree, the words the report must hold; None: no breach)
CASI = [
    ("the sound tree", SANO, None),
    ("the base including a component it does not link",
     con(quarvel_suite=("STATIC_LIBRARY", "base/suite", ["quarvel_comune"], [],
                        ["data/Dati.h"])),
     "base/suite/Sorgente.cpp:1: #include \"data/Dati.h\""),
    ("the base linking a component",
     con(quarvel_suite=("STATIC_LIBRARY", "base/suite", ["quarvel_comune"],
                        ["comp_utility"], ["utility/Dati.h"])),
     "quarvel_suite (base/suite) must not depend on comp_utility (components/utility)"),
    ("the base linking the program",
     con(quarvel_comune=("STATIC_LIBRARY", "base/comune", [], [], []),
         quarvel_suite=("STATIC_LIBRARY", "base/suite", [], ["quarvel_config"], []),
         quarvel_config=("STATIC_LIBRARY", "src/config", [], [], [])),
     "quarvel_suite (base/suite) must not depend on quarvel_config (src/config)"),
    ("the bottom of the base linking another base library",
     con(quarvel_comune=("STATIC_LIBRARY", "base/comune", [], ["quarvel_suite"], []),
         quarvel_suite=("STATIC_LIBRARY", "base/suite", [], [], [])),
     "quarvel_comune (base/comune) must not depend on quarvel_suite (base/suite)"),
    ("a component linking the program",
     con(comp_utility=("STATIC_LIBRARY", "components/utility", [], ["quarvel_config"], [])),
     "comp_utility (components/utility) must not depend on quarvel_config (src/config)"),
    ("a program of a component linking the program",
     con(**{"quarvel-ditta": ("EXECUTABLE", "components/data/tools", [],
                              ["comp_data", "quarvel_config"], [])}),
     "quarvel-ditta (components/data) must not depend on quarvel_config (src/config)"),
    ("the program outside the start-up linking a component",
     con(quarvel_config=("STATIC_LIBRARY", "src/config", [], ["comp_utility"], [])),
     "quarvel_config (src/config) must not depend on comp_utility (components/utility)"),
    ("the program including a component it does not link",
     con(quarvel_config=("STATIC_LIBRARY", "src/config", [], ["quarvel_suite"],
                         ["data/Dati.h"])),
     "src/config/Sorgente.cpp:1: #include \"data/Dati.h\""),
    ("a component reaching the base by a relative path",
     con(comp_utility=("STATIC_LIBRARY", "components/utility", [], ["quarvel_comune"],
                       ["../../base/comune/Profilo.h"])),
     "a header of base/comune reached by a relative path"),
]


def esegui(albero):
    with tempfile.TemporaryDirectory() as radice:
        righe = []
        for nome, (tipo, cartella, pubbliche, private, include) in albero.items():
            d = os.path.join(radice, cartella)
            os.makedirs(d, exist_ok=True)
            sorgente = os.path.join(d, "Sorgente.cpp")
            with open(sorgente, "w", encoding="utf-8") as f:
                f.writelines('#include "%s"\n' % i for i in include)
            righe.append("\t".join([nome, tipo, d, sorgente, ";".join(pubbliche),
                                    ";".join(private)]))
        tabella = os.path.join(radice, "strati.txt")
        with open(tabella, "w", encoding="utf-8") as f:
            f.write("\n".join(righe) + "\n")
        r = subprocess.run([sys.executable, STRATI, tabella, radice],
                           capture_output=True, text=True)
        return r.returncode, r.stdout + r.stderr


class CasiStrati(unittest.TestCase):
    def test_casi(self):
        for caso, albero, atteso in CASI:
            with self.subTest(caso=caso):
                codice, uscita = esegui(albero)
                if atteso is None:
                    self.assertEqual(codice, 0, uscita)
                else:
                    self.assertEqual(codice, 1, uscita)
                    self.assertIn(atteso, uscita)


if __name__ == "__main__":
    STRATI = sys.argv.pop(1)
    unittest.main()
