#!/usr/bin/python3
"""tst_scale: GNU parallel, the Dask driver and the Indexed Job's command line index 200 clips
as velqor-extract itself does.  Usage: tst_scale.py VELQOR_EXTRACT VELQOR_SAMPLES [unittest...]"""

import json
import os
import re
import shutil
import subprocess
import sys
import tempfile
import unittest

import yaml

SCALE = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "scale")
EXTRACT, SAMPLES = (os.path.abspath(p) for p in sys.argv[1:3])

# Stands in for velqor-extract on the workers: the batch holding a "crash" folder's clips dies,
# a "hang" one never answers, a "once" one fails on its first run only; the rest is the real one.
FAKE_EXTRACT = f"""#!/usr/bin/python3
import os, signal, subprocess, sys, time
batch = b"" if "--list" in sys.argv else sys.stdin.buffer.read()
if b"/crash/" in batch:
    os.kill(os.getpid(), signal.SIGKILL)
if b"/hang/" in batch:
    time.sleep(600)
if b"/once/" in batch and not os.path.exists(sys.argv[0] + ".failed"):
    open(sys.argv[0] + ".failed", "w").close()
    sys.exit(70)
sys.exit(subprocess.run([{EXTRACT!r}, *sys.argv[1:]], input=batch or None).returncode)
"""


def run(command, stdout=subprocess.PIPE, **options):
    return subprocess.run(command, stdout=stdout, stderr=subprocess.PIPE, timeout=120,
                          check=False, **options)


def cut_in_a_line(data):
    """An interrupted run's output: its first half, up to the middle of a line."""
    return data[:data.index(b"\n", len(data) // 2) - 10]


def lines(done):
    return done.stdout.decode().splitlines()


class ScaleTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.dir = tempfile.mkdtemp(prefix="tst_scale.")
        cls.addClassCleanup(shutil.rmtree, cls.dir)
        os.environ["TMPDIR"] = cls.dir  # where the Dask workers keep their scratch space
        samples = {}
        for seconds in (5, 9):
            samples[seconds] = os.path.join(cls.dir, f"samples{seconds}")
            run([SAMPLES, "--seconds", str(seconds), samples[seconds]]).check_returncode()
        # Ten copies of 2 x 10 samples: in the folder itself, in sub-folders and deeper.
        cls.clips = os.path.join(cls.dir, "clips")
        folders = ["", "a", "a/x", "a/y", "b", "b/x/1", "b/x/2", "c", "d", "e"]
        for copy, folder in enumerate(folders):
            os.makedirs(os.path.join(cls.clips, folder), exist_ok=True)
            for seconds, source in samples.items():
                for name in os.listdir(source):
                    shutil.copy(os.path.join(source, name),
                                os.path.join(cls.clips, folder, f"{copy}_{seconds}s_{name}"))
        cls.reference = lines(cls.extract("-j", "1"))

    @classmethod
    def extract(cls, *options):
        done = run([EXTRACT, "--format", "jsonl", "-r", *options, cls.clips])
        assert done.returncode == 0, done.stderr
        return done

    def dask(self, *options, extract=EXTRACT, **run_options):
        return run([os.path.join(SCALE, "velqor_dask.py"), "--extract", extract, *options],
                   **run_options)

    def test_every_recipe_gives_the_same_lines(self):
        self.assertEqual(len(self.reference), 200)
        shards = [line for i in range(3) for line in lines(self.extract("--shard", f"{i}/3"))]
        listing = subprocess.Popen([EXTRACT, "--list", "-0", "-r", self.clips],
                                   stdout=subprocess.PIPE)
        parallel = run(["parallel", "-0", "-k", "-m", "--will-cite", EXTRACT, "--format", "jsonl"],
                       stdin=listing.stdout)
        listing.stdout.close()
        self.assertEqual(listing.wait(timeout=60), 0)
        output = os.path.join(self.dir, "dask.jsonl")
        dask = self.dask("--workers", "2", "-o", output, "-r", self.clips)
        self.assertEqual(dask.returncode, 0, dask.stderr)
        with open(output) as written:
            in_list_order = written.read().splitlines()
        for name, result in [("-j 2", lines(self.extract("-j", "2"))), ("--shard", shards),
                             ("parallel", lines(parallel)), ("dask", in_list_order)]:
            with self.subTest(name):
                self.assertEqual(sorted(result), sorted(self.reference))
        self.assertEqual(in_list_order, self.reference)
        self.assertEqual([n for n in os.listdir(self.dir) if n.startswith(".dask.jsonl.")], [])

    def test_failed_batches_are_retried_then_reported(self):
        flaky = os.path.join(self.dir, "flaky")
        for folder in ("crash", "hang", "ok", "once"):  # three clips each: one batch each
            shutil.copytree(os.path.join(self.clips, "a", "x"), os.path.join(flaky, folder),
                            ignore=lambda _, names: sorted(names)[3:])
        fake = os.path.join(self.dir, "fake-extract")
        with open(fake, "w") as script:
            script.write(FAKE_EXTRACT)
        os.chmod(fake, 0o755)
        done = self.dask("--batch", "3", "--timeout", "3", "-r", flaky, extract=fake)
        self.assertEqual(done.returncode, 1, done.stderr)
        real = lines(run([EXTRACT, "--format", "jsonl", "-r", flaky]))
        written = lines(done)
        self.assertEqual(len(written), 12)
        for line, expected in zip(written, real):
            file = json.loads(expected)["file"]
            with self.subTest(file):
                if "/crash/" in file or "/hang/" in file:
                    error = json.loads(line)
                    self.assertEqual(list(error), ["file", "error"])
                    self.assertEqual(error["file"], file)
                    self.assertEqual(error["error"]["code"], "batch-failed")
                    why = "SIGKILL" if "/crash/" in file else "no answer within 3 s"
                    self.assertIn(why, error["error"]["message"])
                    self.assertIn(file, done.stderr.decode())
                else:
                    self.assertEqual(line, expected)

    def test_output_the_run_reads_is_refused(self):
        clip = os.path.join(self.clips, "c", sorted(os.listdir(os.path.join(self.clips, "c")))[0])
        link = os.path.join(self.dir, "link.MP4")
        os.link(clip, link)
        files_from = os.path.join(self.dir, "list.txt")
        with open(files_from, "w") as listed:
            listed.write(clip + "\n")
        # (output, standard output opened by the shell as, extra arguments)
        for output, mode, extra in [(clip, None, []), (link, None, []), (clip, "r+b", []),
                                    (clip, "ab", []), (files_from, "ab", []),
                                    # packed letters and paths after '--' are refused too
                                    (files_from, None, ["--", "-ro", files_from]),
                                    (files_from, None, ["--", "-j2", clip])]:
            with self.subTest(output=output, mode=mode, extra=extra), \
                    open(output, "rb") as before:
                content = before.read()
                if mode is None:
                    refused = self.dask("-o", output, "-r", os.path.dirname(clip), *extra)
                else:
                    with open(output, mode) as stdout:
                        refused = self.dask("--files-from", files_from, *extra, stdout=stdout)
                self.assertEqual(refused.returncode, 64, refused.stderr)
                with open(output, "rb") as after:
                    self.assertEqual(after.read(), content)

    def test_run_resumes_into_its_skip_done_file(self):
        folder = os.path.join(self.clips, "b", "x")
        whole = run([EXTRACT, "--format", "jsonl", "-r", folder]).stdout
        cut = cut_in_a_line(whole)
        index = os.path.join(self.dir, "resumed.jsonl")
        for mode in (None, "ab"):  # -o FILE, and standard output appending to it (>> FILE)
            with self.subTest(mode=mode):
                with open(index, "wb") as written:
                    written.write(cut)
                skip_done = ["-r", folder, "--", "--skip-done", index]
                if mode is None:
                    done = self.dask("-o", index, *skip_done)
                else:
                    with open(index, mode) as stdout:
                        done = self.dask(*skip_done, stdout=stdout)
                self.assertEqual(done.returncode, 0, done.stderr)
                with open(index, "rb") as written:
                    self.assertEqual(written.read(), whole)

    def test_indexed_job_gives_every_file_once(self):
        with open(os.path.join(SCALE, "velqor-indexed-job.yaml")) as manifest:
            job = yaml.safe_load(manifest)["spec"]
        self.assertEqual(job["completionMode"], "Indexed")
        shell, flag, script = job["template"]["spec"]["containers"][0]["command"]
        self.assertEqual([shell, flag], ["sh", "-c"])
        out = os.path.join(self.dir, "out")
        os.mkdir(out)
        # In one pass, and only whole paths: the temporary folder may hold "/out" itself.
        script = re.sub(r"(?<![\w/])/(data|out)\b",
                        lambda path: {"data": self.clips, "out": out}[path[1]], script)
        path = os.path.dirname(EXTRACT) + os.pathsep + os.environ["PATH"]
        environment = dict(os.environ, PATH=path)

        def pod(index):
            done = run(["sh", "-c", script], env=dict(environment, JOB_COMPLETION_INDEX=str(index)))
            self.assertEqual(done.returncode, 0, done.stderr)

        for index in range(job["completions"]):
            pod(index)
        # A pod stopped in the middle of a line, then started again, completes its part.
        # Its earlier lines are kept, not written again: the part is the same bytes as before.
        with open(os.path.join(out, "part-1.jsonl"), "r+b") as part:
            whole = part.read()
            part.truncate(len(cut_in_a_line(whole)))
        pod(1)
        with open(os.path.join(out, "part-1.jsonl"), "rb") as part:
            self.assertEqual(part.read(), whole)
        parts = []
        for part in sorted(os.listdir(out)):
            with open(os.path.join(out, part)) as written:
                parts += written.read().splitlines()
        self.assertEqual(sorted(parts), sorted(self.reference))


if __name__ == "__main__":
    unittest.main(argv=[sys.argv[0], *sys.argv[3:]])
