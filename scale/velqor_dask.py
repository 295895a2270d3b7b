#!/usr/bin/python3
"""Indexes recordings on a Dask cluster: velqor-extract --format jsonl over batches, one file.

    velqor_dask.py [--scheduler ADDRESS | --workers N] [--batch N] [--timeout SECONDS]
                   [--extract PATH] [-o OUT] [-r] [--files-from FILE [-0]] [PATH...]
                   [-- VELQOR-EXTRACT OPTIONS...]

The recordings are listed once, on this machine, by `velqor-extract --list` (so folders, -r,
--files-from, --shard and --skip-done select exactly what velqor-extract itself would), cut into
batches, and each batch is given to `velqor-extract --format jsonl --files-from - -0` on a
worker: a LocalCluster of N single-threaded processes here (default 2), or the cluster behind
--scheduler, whose workers must see the same paths and have velqor-extract (--extract) there.
The options after `--` go to every velqor-extract run, e.g. `-- --summary`.

The output is one JSON Lines file in the order of the list, the same bytes as a single
`velqor-extract --format jsonl` run over the list. A batch whose run fails (an exit status
other than 0 or 2, a crash, no answer within --timeout, a line missing) is run once more; if it
fails again, each of its recordings gets an error line with the code "batch-failed", the
recordings are named on standard error, and the exit status is 1. A named output appears only
once complete (written beside it, then renamed), and one that the run reads is refused.

Exit status: 0 every recording was read, 1 a batch failed or the cluster could not be used,
2 a recording could not be read (its error line is in the output), 64 usage error, 73 the
output cannot be created, 74 it cannot be written; a listing that fails passes on its status.
"""

import argparse
import collections
import contextlib
import errno
import itertools
import json
import logging
import math
import os
import signal
import stat
import subprocess
import sys
import tempfile
import time

# Enough batches per worker slot that a slow batch does not leave the others idle at the end,
# few enough that starting a velqor-extract process costs nothing next to its batch.
BATCHES_PER_SLOT = 4
MAX_BATCH = 100
# Options the driver sets itself on every velqor-extract run; given again after `--` they would
# send the output elsewhere or change its shape, and the run would lose lines.
OWN_OPTIONS = ("--output", "--format", "--files-from", "--null", "--list", "-0")


class Failure(Exception):
    """A run that cannot go on; its message is for standard error."""

    def __init__(self, message, status):
        super().__init__(message)
        self.status = status


class Parser(argparse.ArgumentParser):
    """Usage errors exit with 64, as velqor-extract's do."""

    def error(self, message):
        self.print_usage(sys.stderr)
        self.exit(64, f"{self.prog}: {message}\n")


def parse_arguments(argv):
    """Our options, and velqor-extract's after the first `--`."""
    split = argv.index("--") if "--" in argv else len(argv)
    extra = argv[split + 1:]
    parser = Parser(prog="velqor_dask.py", description=__doc__.split("\n\n")[0],
                    usage="%(prog)s [options] [PATH...] [-- VELQOR-EXTRACT OPTIONS...]",
                    formatter_class=argparse.RawDescriptionHelpFormatter,
                    epilog="\n\n".join(__doc__.split("\n\n")[2:]))
    parser.add_argument("paths", nargs="*", metavar="PATH", help="recordings and folders")
    parser.add_argument("-r", "--recursive", action="store_true", help="descend into sub-folders")
    parser.add_argument("--files-from", metavar="FILE",
                        help="one path per line ('-': standard input)")
    parser.add_argument("-0", "--null", action="store_true", help="the list is NUL-separated")
    cluster = parser.add_mutually_exclusive_group()
    cluster.add_argument("--scheduler", metavar="ADDRESS",
                         help="a running scheduler, e.g. tcp://host:8786")
    cluster.add_argument("--workers", type=positive, metavar="N",
                         help="processes of the local cluster (default 2)")
    parser.add_argument("--batch", type=positive, metavar="N",
                        help=f"recordings per batch (default: {BATCHES_PER_SLOT} batches per "
                             f"worker thread, at most {MAX_BATCH} recordings each)")
    parser.add_argument("--timeout", type=positive, default=600, metavar="SECONDS",
                        help="stop a velqor-extract run after this long (default 600)")
    parser.add_argument("--extract", default="velqor-extract", metavar="PATH",
                        help="the velqor-extract command (default: found on PATH)")
    parser.add_argument("-o", "--output", default="-", metavar="OUT",
                        help="the JSON Lines file (default: standard output)")
    args = parser.parse_args(argv[:split])
    # A short -o or -f may carry its value in the same argument.
    owned = [a for a in extra if a.partition("=")[0] in OWN_OPTIONS or a[:2] in ("-o", "-f")]
    if owned:
        parser.error(f"{owned[0]} is set by the driver, not after '--'")
    if os.sep in args.extract:  # relative to here, wherever a worker process runs
        args.extract = os.path.abspath(args.extract)
    args.extra = extra
    return args


def positive(text):
    value = int(text)
    if value < 1:
        raise ValueError(text)
    return value


def list_recordings(args):
    """The recordings velqor-extract selects, as bytes, and the listing's exit status (0 or 2)."""
    # A newline-separated list must be read as one; otherwise NUL ends each name, so that
    # names holding a newline come through a folder listing whole.
    nul = args.null or not args.files_from
    command = [args.extract, "--list", "--format", "jsonl", *(["-0"] if nul else []),
               *(["-r"] if args.recursive else []),
               *(["--files-from", args.files_from] if args.files_from else []),
               *args.extra, "--", *args.paths]
    try:
        listing = subprocess.run(command, stdout=subprocess.PIPE, timeout=args.timeout, check=False)
    except OSError as error:
        raise Failure(f"cannot run {args.extract}: {error.strerror}", 1) from None
    except subprocess.TimeoutExpired:
        raise Failure(f"listing the recordings took more than {args.timeout} s", 1) from None
    if listing.returncode not in (0, 2):
        raise Failure("", listing.returncode)  # velqor-extract has said why
    separator = b"\0" if nul else b"\n"
    return [p for p in listing.stdout.split(separator) if p], listing.returncode


def refuse_read_files(output, recordings, args):
    """Stops a run whose output would replace a recording or a list it reads."""
    if output == "-" or not os.path.exists(output):
        return
    target = os.stat(output)
    lists = [(what, path) for what, path in [("the --files-from list", args.files_from),
                                             ("the --skip-done file", skip_done_file(args.extra))]
             if path not in (None, "-")]
    recordings = ((f"the recording {os.fsdecode(p)}", p) for p in recordings)
    for what, path in itertools.chain(lists, recordings):
        with contextlib.suppress(OSError):  # not there (yet): nothing to replace
            if os.path.samestat(target, os.stat(path)):
                raise Failure(f"the output {output} is {what}, which the run reads", 64)


def skip_done_file(extra):
    for i, arg in enumerate(extra):
        if arg == "--skip-done" and i + 1 < len(extra):
            return extra[i + 1]
        if arg.startswith("--skip-done="):
            return arg.partition("=")[2]
    return None


@contextlib.contextmanager
def open_output(output):
    """A binary stream for the output: standard output, a device or pipe as it stands, or a
    file that replaces the named one only once complete."""
    if output == "-":
        yield sys.stdout.buffer
        sys.stdout.flush()
        return
    try:
        mode = os.stat(output).st_mode
    except FileNotFoundError:
        mode = None
    except OSError as error:
        raise Failure(f"cannot create {output}: {error.strerror}", 73) from None
    if mode is not None and not stat.S_ISREG(mode):
        if not (stat.S_ISCHR(mode) or stat.S_ISFIFO(mode)):
            raise Failure(f"cannot create {output}: not a file, a pipe or a character device", 73)
        with open_stream(output) as stream:
            yield stream
        return
    # Through a symbolic link its target is replaced, and the link stays.
    target = os.path.realpath(output)
    folder, name = os.path.split(target)
    try:
        fd, temporary = tempfile.mkstemp(dir=folder, prefix=f".{name}.", suffix=".part")
    except OSError as error:
        raise Failure(f"cannot create {output}: {error.strerror}", 73) from None
    try:
        with os.fdopen(fd, "wb") as stream:
            yield stream
            stream.flush()
            os.fsync(stream.fileno())
        umask = os.umask(0)
        os.umask(umask)
        os.chmod(temporary, stat.S_IMODE(mode) if mode is not None else 0o666 & ~umask)
        os.replace(temporary, target)
    except BaseException:
        os.unlink(temporary)
        raise


@contextlib.contextmanager
def open_stream(path):
    """A pipe or character device opened for writing, waiting at most two seconds for a pipe's
    reader instead of blocking for ever."""
    deadline = time.monotonic() + 2
    while True:
        try:
            fd = os.open(path, os.O_WRONLY | os.O_NONBLOCK)
            break
        except OSError as error:
            if error.errno != errno.ENXIO or time.monotonic() > deadline:
                reason = "nobody reads it" if error.errno == errno.ENXIO else error.strerror
                raise Failure(f"cannot open {path}: {reason}", 73) from None
            time.sleep(0.1)
    os.set_blocking(fd, True)
    with os.fdopen(fd, "wb") as stream:
        yield stream


def run_batch(extract, extra, paths, timeout):
    """On a worker: the JSON Lines of the batch, velqor-extract's standard error and exit status
    (0 or 2). Any other outcome raises, so that the scheduler runs the batch again."""
    command = [extract, "--format", "jsonl", "--files-from", "-", "-0", *extra]
    try:
        done = subprocess.run(command, input=b"\0".join(paths) + b"\0", capture_output=True,
                              timeout=timeout, check=False)
    except OSError as error:
        raise RuntimeError(f"cannot run {extract}: {error.strerror}") from None
    except subprocess.TimeoutExpired:
        raise RuntimeError(f"no answer within {timeout} s") from None
    errors = done.stderr.decode(errors="replace")
    if done.returncode < 0:
        raise RuntimeError(f"killed by {signal.Signals(-done.returncode).name}; {tail(errors)}")
    if done.returncode not in (0, 2):
        raise RuntimeError(f"exit status {done.returncode}; {tail(errors)}")
    lines = done.stdout.count(b"\n")
    if lines != len(paths) or (paths and not done.stdout.endswith(b"\n")):
        raise RuntimeError(f"{lines} lines for {len(paths)} recordings; {tail(errors)}")
    return done.stdout, errors, done.returncode


def tail(text, lines=3):
    """The end of a standard error, which says what went wrong last."""
    return " / ".join(text.strip().splitlines()[-lines:]) or "nothing on standard error"


def fail(paths, reason):
    """Names a failed batch's recordings on standard error and gives an error line for each, in
    velqor-extract's layout, as the batch's outcome."""
    print(f"velqor_dask.py: a batch {reason}; error lines for:", file=sys.stderr)
    lines = []
    for path in paths:
        print(f"  {os.fsdecode(path)}", file=sys.stderr)
        line = {"file": path.decode(errors="replace"),
                "error": {"code": "batch-failed", "message": f"batch {reason}"}}
        lines.append(json.dumps(line, ensure_ascii=False, separators=(",", ":")).encode() + b"\n")
    return b"".join(lines), "", 1


def combine(status, other):
    """A failed batch (1) outweighs an unreadable recording (2)."""
    return 1 if 1 in (status, other) else max(status, other)


@contextlib.contextmanager
def start_client(args):
    """A client of the scheduler given, or of a local cluster started for this run."""
    from dask.distributed import Client, LocalCluster

    # The worker processes report into this process's log too; only real errors matter here.
    logging.getLogger("distributed").setLevel(logging.ERROR)
    with contextlib.ExitStack() as stack:
        try:
            if args.scheduler:
                client = stack.enter_context(Client(args.scheduler, timeout=30))
                client.wait_for_workers(1, timeout=60)
            else:
                cluster = stack.enter_context(LocalCluster(
                        n_workers=args.workers or 2, threads_per_worker=1, processes=True,
                        dashboard_address=None, silence_logs=logging.ERROR))
                client = stack.enter_context(Client(cluster))
        except (OSError, TimeoutError) as error:
            raise Failure(f"cannot reach the cluster: {error}", 1) from None
        yield client


def index(client, recordings, args, stream):
    """Writes the batches' lines in list order; the exit status of the batches."""
    slots = max(1, sum(client.nthreads().values()))
    size = args.batch or min(MAX_BATCH, math.ceil(len(recordings) / (slots * BATCHES_PER_SLOT)))
    batches = (recordings[i:i + size] for i in range(0, len(recordings), size))
    # Batches done but not yet written stay in the workers' memory, so only a window of them
    # is outstanding. The head was submitted first and runs first, so waiting for it longer
    # than two runs means the cluster lost it.
    window = collections.deque()
    bound = 2 * args.timeout + 60
    status = 0

    def submit():
        batch = next(batches, None)
        if batch is not None:
            window.append((batch, client.submit(run_batch, args.extract, args.extra, batch,
                                                args.timeout, retries=1, pure=False)))

    for _ in range(2 * slots):
        submit()
    while window:
        batch, future = window.popleft()
        submit()
        try:
            lines, errors, code = future.result(timeout=bound)
        except TimeoutError:
            future.cancel()
            lines, errors, code = fail(batch, f"got no answer from the cluster within {bound} s")
        except Exception as error:  # whatever the worker or the cluster raised, the batch failed
            lines, errors, code = fail(batch, f"failed twice: {error or type(error).__name__}")
        sys.stderr.write(errors)
        try:
            stream.write(lines)
            stream.flush()
        except OSError as error:
            raise Failure(f"cannot write the output: {error.strerror}", 74) from None
        status = combine(status, code)
    return status


def main(argv):
    args = parse_arguments(argv)
    try:
        recordings, status = list_recordings(args)
        refuse_read_files(args.output, recordings, args)
        with open_output(args.output) as stream:
            if recordings:
                with start_client(args) as client:
                    status = combine(status, index(client, recordings, args, stream))
        return status
    except Failure as failure:
        if str(failure):
            print(f"velqor_dask.py: {failure}", file=sys.stderr)
        return failure.status


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
