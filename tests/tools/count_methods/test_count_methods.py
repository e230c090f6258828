"""tools/count_methods.py on the headers of fixture/: it measures the class
asked for, not a nested class defined out of line in a header read first,
and names nested classes under their full names."""
import io
import os
import sys
import unittest
from contextlib import redirect_stdout

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "..", "..", "tools"))
import count_methods  # noqa: E402

FIXTURE = os.path.join(HERE, "fixture")


def measure(name):
    r = count_methods.count(FIXTURE, name)
    return r and (r[0], r[1], r[2])


class CountMethods(unittest.TestCase):
    def test_the_class_itself(self):
        # CFixtureDoc (right after Q_OBJECT and public:), ~CFixtureDoc, Name,
        # Size, Clear, Save, Local; the forwarders are Size, Clear and Save.
        self.assertEqual(measure("CFixtureDoc"), ("doc/doc.h", 7, 3))

    def test_nested_classes_under_their_full_names(self):
        # out of line in site.h: the constructor, Changed, Count (a
        # forwarder in doc.cpp)
        self.assertEqual(measure("CFixtureDoc::Site"), ("site.h", 3, 1))
        # in the document's body: Value (a forwarder in doc.cpp), Twice,
        # Through (an inline forwarder)
        self.assertEqual(measure("CFixtureDoc::Helper"), ("doc/doc.h", 3, 2))
        self.assertIsNone(measure("Site"))

    def test_namespaces_and_namesakes(self):
        self.assertEqual(measure("Helper"), ("doc/doc.h", 1, 0))
        self.assertEqual(measure("fixture::SiteBase"), ("doc/doc.h", 2, 0))
        self.assertEqual(measure("SiteBase"), ("doc/doc.h", 2, 0))
        self.assertIsNone(measure("other::SiteBase"))
        self.assertIsNone(measure("Mode"))          # an enum class
        self.assertIsNone(measure("InFunction"))    # local to a function

    def test_command_line(self):
        out = io.StringIO()
        with redirect_stdout(out):
            count_methods.main(["--src", FIXTURE, "--list", "CFixtureDoc", "CFixtureDoc::Site", "Nowhere"])
        lines = out.getvalue().splitlines()
        self.assertEqual(lines[1].split(), ["CFixtureDoc", "doc/doc.h", "7", "3", "4"])
        self.assertEqual(lines[2].split(), ["CFixtureDoc", "~CFixtureDoc", "Name", "Local"])
        self.assertEqual(lines[3].split(), ["CFixtureDoc::Site", "site.h", "3", "1", "2"])
        self.assertEqual(lines[5].split(), ["Nowhere", "not", "found"])


if __name__ == "__main__":
    unittest.main()
