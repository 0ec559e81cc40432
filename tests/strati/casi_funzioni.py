#!/usr/bin/env python3
"""The scanner of long functions on small sources of its own: each case a C++
text and the functions it must find (line, name, lines), whatever braces the
comments, literals, initializer lists and tables around them hold.

    casi_funzioni.py <scripts/funzioni_lunghe.py>
"""

import importlib
import os
import sys
import unittest

SCANNER = None

CASI = [
    ("a plain function",
     "int f(int a)\n{\n    return a;\n}\n",
     [(1, "f", 4)]),
    ("braces in comments and literals",
     'void g() {\n    // {\n    /* { */ const char* s = "{";\n    char c = \'{\';\n}\n'
     "void h() {}\n",
     [(1, "g", 5), (6, "h", 1)]),
    ("a raw string holding braces and quotes",
     'void r() {\n    auto s = R"x(\n{ " }} )" \n)x";\n}\nint z() { return 0; }\n',
     [(1, "r", 5), (6, "z", 1)]),
    ("a constructor with members initialized by braces",
     "A::A(int x)\n    : m{x}, n(x), v{1, 2} {\n    go();\n}\n",
     [(1, "A::A", 4)]),
    ("members of a class and of a namespace",
     "namespace n {\nclass C {\npublic:\n    int a() const { return 1; }\n"
     "    void b() override\n    {\n    }\n};\n}\n",
     [(4, "a", 1), (5, "b", 3)]),
    ("a lambda counts inside its function; a table is no function",
     "static const int t[] = {1, 2,\n 3};\nvoid f() {\n    auto l = [] {\n"
     "        return 1;\n    };\n}\n",
     [(3, "f", 5)]),
    ("an operator and a trailing return type",
     "bool operator==(const A& a, const A& b) {\n    return true;\n}\n"
     "auto f() -> int {\n    return 1;\n}\n",
     [(1, "operator==", 3), (4, "f", 3)]),
    ("a macro line with a brace is no code",
     "#define APRI {\nvoid f() {\n}\n",
     [(2, "f", 2)]),
    ("the blocks inside a function belong to it",
     "void f() {\n    if (x) {\n        y();\n    }\n    for (;;) {\n    }\n}\n",
     [(1, "f", 7)]),
]


class CasiFunzioni(unittest.TestCase):
    def test_casi(self):
        # the scanner is imported from its own folder, leaving no cache there
        sys.dont_write_bytecode = True
        sys.path.insert(0, os.path.dirname(os.path.realpath(SCANNER)))
        modulo = importlib.import_module("funzioni_lunghe")
        for caso, testo, attese in CASI:
            with self.subTest(caso=caso):
                trovate = modulo.funzioni(modulo.pulisci(testo))
                self.assertEqual(trovate, attese)


if __name__ == "__main__":
    SCANNER = sys.argv.pop(1)
    unittest.main()
