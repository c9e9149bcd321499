"""make-tree and check-groups, checked against what really lands on disk; the fault
list of mutation-check against the sources.

    python3 -m unittest discover -s tests/tools
"""

import collections
import hashlib
import importlib.machinery
import importlib.util
import json
import os
import stat
import subprocess
import sys
import tempfile
import unittest
import zlib

HERE = os.path.dirname(os.path.abspath(__file__))
MAKE = os.path.join(HERE, "make-tree")
CHECK = os.path.join(HERE, "check-groups")
MUTATE = os.path.join(HERE, "mutation-check")


def run(*argv, stdin=None):
    return subprocess.run([sys.executable, *argv], capture_output=True, input=stdin)


def make(target, *options):
    proc = run(MAKE, target, "--quiet", "--big-fraction", "0", *options)
    if proc.returncode != 0:
        raise AssertionError(proc.stderr.decode(errors="replace"))
    with open(target + ".manifest.json", encoding="utf-8") as f:
        return json.load(f)


def make_files(target):
    with open(target + ".manifest.json", encoding="utf-8") as f:
        return json.load(f)["generator"]["files"]


def snapshot(root):
    """Every entry under root: kind, mode, time and bytes (or link target)."""
    out = {}
    broot = os.fsencode(root)
    for folder, dirs, files in os.walk(broot):
        for name in dirs + files:
            full = os.path.join(folder, name)
            rel = os.fsdecode(os.path.relpath(full, broot))
            st = os.lstat(full)
            if stat.S_ISLNK(st.st_mode):
                out[rel] = ("link", os.readlink(full))
            elif stat.S_ISDIR(st.st_mode):
                out[rel] = ("dir", st.st_mode, st.st_mtime_ns)
            else:
                with open(full, "rb") as f:
                    out[rel] = ("file", st.st_mode, st.st_mtime_ns, f.read())
    return out


class Trees(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.tmp = tempfile.TemporaryDirectory()
        cls.root = os.path.join(cls.tmp.name, "tree")
        cls.doc = make(cls.root, "--files", "400", "--seed", "5", "--with-links", "--odd-bytes")

    @classmethod
    def tearDownClass(cls):
        cls.tmp.cleanup()

    def full(self, rel):
        return os.path.join(os.fsencode(self.root), os.fsencode(rel))

    def read(self, rel):
        with open(self.full(rel), "rb") as f:
            return f.read()

    def test_same_seed_gives_the_same_tree_and_another_seed_does_not(self):
        again = os.path.join(self.tmp.name, "again")
        doc = make(again, "--files", "400", "--seed", "5", "--with-links", "--odd-bytes")
        self.assertEqual(snapshot(self.root), snapshot(again))
        self.assertEqual(dict(doc, root=None), dict(self.doc, root=None))
        other = os.path.join(self.tmp.name, "other")
        make(other, "--files", "400", "--seed", "6", "--with-links", "--odd-bytes")
        self.assertNotEqual(snapshot(self.root), snapshot(other))

    def test_manifest_groups_are_what_the_disk_holds(self):
        # Recounted from the disk alone: content of every regular file not reached
        # through a link, grouped by bytes, and the paths that share an inode.
        by_content, by_inode, empty = {}, {}, set()
        broot = os.fsencode(self.root)
        for folder, dirs, files in os.walk(broot):
            for name in files:
                full = os.path.join(folder, name)
                st = os.lstat(full)
                if not stat.S_ISREG(st.st_mode):
                    continue
                rel = os.fsdecode(os.path.relpath(full, broot))
                by_inode.setdefault((st.st_dev, st.st_ino), []).append(rel)
                if st.st_size == 0:
                    empty.add(rel)
                    continue
                with open(full, "rb") as f:
                    digest = hashlib.sha256(f.read()).digest()
                by_content.setdefault(digest, []).append(rel)
        groups = sorted(sorted(p) for p in by_content.values() if len(p) > 1)
        self.assertEqual(sorted(g["paths"] for g in self.doc["groups"]), groups)
        self.assertEqual(sorted(sorted(p) for p in by_inode.values() if len(p) > 1),
                         self.doc["hardlink_sets"])
        # Hard links as one file: the files of each group are its distinct inodes.
        inode_of = {p: key for key, paths in by_inode.items() for p in paths}
        one_file = []
        for paths in by_content.values():
            files = {}
            for p in paths:
                files.setdefault(inode_of[p], []).append(p)
            if len(files) > 1:
                one_file.append(sorted(sorted(f) for f in files.values()))
        self.assertEqual(sorted(g["files"] for g in self.doc["groups_hardlinks_as_one_file"]),
                         sorted(one_file))
        self.assertEqual(set(self.doc["empty_files"]), empty)
        summary = self.doc["summary"]
        self.assertEqual(summary["files"], sum(len(p) for p in by_inode.values()))
        self.assertEqual(summary["inodes"], len(by_inode))
        # The links make both kinds of group: one that a hard link joins, and one of a
        # single file under two paths, which is no group when links count as one file.
        self.assertTrue(any(1 < g["inodes"] < len(g["paths"]) for g in self.doc["groups"]))
        self.assertTrue(any(g["inodes"] == 1 for g in self.doc["groups"]))
        self.assertGreater(summary["groups_hardlinks_as_one_file"], 20)
        for g in self.doc["groups"]:
            data = self.read(g["paths"][0])
            self.assertEqual((len(data), zlib.crc32(data)), (g["size"], g["crc32"]))

    def test_near_misses_differ_in_one_byte_where_the_manifest_says(self):
        sets = self.doc["same_size_different_content"]
        self.assertTrue(any(s["size"] > 1024 * 1024 for s in sets))
        for s in sets:
            base = self.read(s["variants"][0]["paths"][0])
            self.assertEqual(len(base), s["size"])
            for v in s["variants"][1:]:
                for path in v["paths"]:
                    data = self.read(path)
                    self.assertEqual(len(data), s["size"])
                    diff = [i for i in range(len(data)) if data[i] != base[i]] \
                        if len(data) < 100000 else \
                        [i for i in (0, s["size"] // 2, s["size"] - 1, 4097) if data[i] != base[i]]
                    self.assertEqual(diff, [v["offset"]], path)
                    if s["size"] > 1024 * 1024 and v["differs_at"] == "after-first-4KiB":
                        self.assertEqual(data[:4096], base[:4096])

    def test_forged_crc_collisions_hold(self):
        kinds = {c["kind"]: c for c in self.doc["crc32_collisions"]}
        for kind in ("same-size", "different-size"):
            a, b = (self.read(p) for p in kinds[kind]["paths"])
            self.assertNotEqual(a, b)
            self.assertEqual(zlib.crc32(a), zlib.crc32(b))
            self.assertEqual(len(a) == len(b), kind == "same-size")
        (zero,) = (self.read(p) for p in kinds["zero-crc"]["paths"])
        self.assertTrue(zero)
        self.assertEqual(zlib.crc32(zero), 0)

    def test_odd_names_land_byte_exact_in_duplicate_groups(self):
        grouped = {p.rsplit("/", 1)[-1] for g in self.doc["groups"] for p in g["paths"]}
        for name in (b"caf\xe9.txt", "trailing blank.txt ".encode(), "a<b>c.txt".encode(),
                     "cafe\u0301 decomposed.txt".encode()):
            self.assertIn(os.fsdecode(name), grouped)
        on_disk = set()
        for folder, _, files in os.walk(os.fsencode(self.root)):
            on_disk.update(files)
        self.assertIn(b"caf\xe9.txt", on_disk)


class Checker(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.tmp = tempfile.TemporaryDirectory()
        cls.root = os.path.join(cls.tmp.name, "tree")
        cls.doc = make(cls.root, "--files", "200", "--seed", "9", "--with-links", "--odd-bytes")
        cls.manifest = cls.root + ".manifest.json"
        cls.links = {p: s[0] for s in cls.doc["hardlink_sets"] for p in s}

    @classmethod
    def tearDownClass(cls):
        cls.tmp.cleanup()

    def report(self, groups, sep=b"\n"):
        out = b""
        for i, g in enumerate(groups):
            if i:
                out += sep
            out += b"".join(os.fsencode(os.path.join(self.root, p)) + sep for p in g)
        return out

    def check(self, groups, *options, sep=b"\n"):
        proc = run(CHECK, self.manifest, "-", *options, stdin=self.report(groups, sep))
        return proc.returncode, proc.stdout.decode()

    def one_per_file(self):
        groups = []
        for g in self.doc["groups"]:
            seen, paths = set(), []
            for p in g["paths"]:
                if self.links.get(p, p) not in seen:
                    seen.add(self.links.get(p, p))
                    paths.append(p)
            if len(paths) > 1:
                groups.append(paths)
        return groups

    def test_a_right_report_agrees_in_either_hard_link_rule_and_format(self):
        self.assertEqual(self.check(self.one_per_file())[0], 0)
        self.assertEqual(self.check(self.one_per_file(), "--null", sep=b"\0")[0], 0)
        every = [g["paths"] for g in self.doc["groups"]]
        self.assertEqual(self.check(every, "--hardlinks", "dup")[0], 0)
        # Each rule refuses the other's answer: a file named twice through its hard
        # links, and hard links left out.
        joined = next(g["paths"] for g in self.doc["groups"] if 1 < g["inodes"] < len(g["paths"]))
        twice = [g for g in self.one_per_file() if not set(g) <= set(joined)] + [joined]
        code, out = self.check(twice)
        self.assertEqual(code, 1)
        self.assertIn("names one file twice", out)
        self.assertEqual(self.check(self.one_per_file(), "--hardlinks", "dup")[0], 1)

    def test_wrong_reports_are_caught_and_explained(self):
        right = self.one_per_file()
        symlink = next(s["path"] for s in self.doc["symlinks"] if s["points_to"] == "file")
        crc = next(c for c in self.doc["crc32_collisions"] if c["kind"] == "same-size")
        cases = [
            ("a group left out", right[1:], "1 missing"),
            ("a link path", [right[0] + [symlink]] + right[1:], "symbolic link"),
            ("two groups joined", [right[0] + right[1]] + right[2:], "different groups"),
            ("a CRC-32 twin", right + [crc["paths"]], "has no duplicate"),
            ("an empty file", right + [self.doc["empty_files"][:2]], "empty file"),
            ("a group split", [right[0][:1] + right[0][2:]] + right[1:]
             if len(right[0]) > 2 else [right[0][:1]] + right[1:], "missing"),
        ]
        for what, groups, text in cases:
            code, out = self.check(groups)
            self.assertEqual(code, 1, what)
            self.assertIn(text, out, what)

    def test_paths_outside_the_tree_and_foreign_manifests_are_bad_input(self):
        proc = run(CHECK, self.manifest, "-", stdin=b"/etc/passwd\n/etc/group\n")
        self.assertEqual(proc.returncode, 2)
        other = os.path.join(self.tmp.name, "other.json")
        with open(other, "w") as f:
            json.dump({"format": "something else", "groups": []}, f)
        self.assertEqual(run(CHECK, other, "-", stdin=b"").returncode, 2)


class Guard(unittest.TestCase):
    def test_only_an_empty_folder_or_its_own_tree_is_replaced(self):
        with tempfile.TemporaryDirectory() as tmp:
            target = os.path.join(tmp, "t")
            os.mkdir(target)
            with open(os.path.join(target, "precious"), "w") as f:
                f.write("keep me")
            for options in ((), ("--force",)):
                proc = run(MAKE, target, "--files", "60", "--quiet", *options)
                self.assertEqual(proc.returncode, 2)
                self.assertTrue(os.path.exists(os.path.join(target, "precious")))
            os.remove(os.path.join(target, "precious"))
            make(target, "--files", "60")
            self.assertEqual(run(MAKE, target, "--files", "60", "--quiet").returncode, 2)
            make(target, "--files", "70", "--force")
            self.assertEqual(make_files(target), 70)


def load_mutation_check():
    loader = importlib.machinery.SourceFileLoader("mutation_check", MUTATE)
    module = importlib.util.module_from_spec(importlib.util.spec_from_loader(loader.name, loader))
    loader.exec_module(module)
    return module


class MutationList(unittest.TestCase):
    """A fault whose text moved away would silently test nothing."""

    def test_every_fault_still_applies_once_in_the_core(self):
        mc = load_mutation_check()
        entries = mc.parse()
        self.assertGreaterEqual(len(entries), 40)
        self.assertEqual(mc.problems(entries), [])
        for e in entries:
            self.assertRegex(e.path, r"^src/(engine|actions|app|profiles|cli)/")
        per_file = collections.Counter(e.path for e in entries)
        self.assertLessEqual(max(per_file.values()), 6, per_file.most_common(1))

    def test_a_text_found_twice_or_not_at_all_is_refused(self):
        mc = load_mutation_check()
        with tempfile.TemporaryDirectory() as root:
            with open(os.path.join(root, "a.cpp"), "w") as f:
                f.write("if (x < y)\n    return;\nif (x < y)\n")
            entries = [mc.Mutation(1, "a.cpp", "twice", "if (x < y)", "if (x <= y)"),
                       mc.Mutation(2, "a.cpp", "never", "if (z)", "if (!z)"),
                       mc.Mutation(3, "a.cpp", "once", "return;", ""),
                       mc.Mutation(4, "b.cpp", "no file", "x", "y")]
            found = mc.problems(entries, root)
            self.assertEqual([p.split(":")[0] for p in found], ["#1 a.cpp", "#2 a.cpp", "#4 b.cpp"])

    def test_a_recheck_reads_back_the_catching_tests_of_its_own_report(self):
        mc = load_mutation_check()
        rows = [(1, "a.cpp:3", "flip", "caught (Walk.LinksAreNeverFollowed)", 12),
                (2, "a.cpp:9", "drop", "survived", 40),
                (3, "b.cpp:1", "late", "caught (the test run timed out)", 600),
                (4, "b.cpp:7", "break", "invalid (error: x)", 3)]
        with tempfile.TemporaryDirectory() as root:
            report = os.path.join(root, "score.md")
            mc.write_report(report, rows, {"caught": 2, "survived": 1, "invalid": 1}, 11)
            self.assertEqual(mc.caught_by(report), {1: "Walk.LinksAreNeverFollowed"})


if __name__ == "__main__":
    unittest.main()
