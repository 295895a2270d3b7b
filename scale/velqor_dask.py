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
recordings are named on standard error, and the exit status is 1; so are the batches left when
the cluster's scheduler goes away. A named output appears only once complete (written beside
it, then renamed); one that the run reads is refused, except the --skip-done file, which the
run resumes by appending to it (`-o index.jsonl -- --skip-done index.jsonl`, or `>>`). With
--scheduler, paths must be absolute.

Exit status: 0 every recording was read, 1 a batch failed or the cluster could not be used,
2 a recording could not be read (its error line is in the output) or a folder could not be
listed (named on standard error, with no line in the output), 64 usage error, 73 the output
cannot be created, 74 it cannot be written, 128+N stopped by signal N; a listing that fails
passes on its status.
"""

import argparse
import collections
import contextlib
import ctypes
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
# A batch pays for a task on the cluster and a velqor-extract start (about 170 ms for 100 clips
# on a worker against 57 ms in one process), so batches are large; but the driver holds one
# batch's lines at a time, and each worker up to two, at about 35 KB a one-minute clip with
# every sample: 500 keeps that near 20 MB.
MAX_BATCH = 500
# Options the driver sets itself on every velqor-extract run; given again after `--` they would
# send the output elsewhere or change its shape, and the run would lose lines.
OWN_OPTIONS = {"output", "format", "files-from", "null", "list"}
# Options that only choose recordings: the listing applies them, and the batches' runs, which
# are given the chosen recordings, must not choose again.
SELECTION_OPTIONS = {"shard", "skip-done"}
# velqor-extract's options that take a value, and the long names of its one-letter ones.
VALUE_OPTIONS = {"format", "output", "camera-utc-offset", "files-from", "jobs", "shard",
                 "skip-done"}
SHORT_OPTIONS = {"f": "format", "o": "output", "r": "recursive", "0": "null", "j": "jobs",
                 "h": "help", "?": "help", "v": "version"}


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
    # Paths and -r in any order, as velqor-extract takes them.
    args = parser.parse_intermixed_args(argv[:split])
    try:
        options = extract_options(extra)
    except ValueError as error:
        parser.error(str(error))
    owned = [tokens for names, _, tokens in options if names & OWN_OPTIONS]
    if owned:
        parser.error(f"{owned[0][0]} is set by the driver, not after '--'")
    if os.sep in args.extract:  # relative to here, wherever a worker process runs
        args.extract = os.path.abspath(args.extract)
    args.extra = extra
    args.batch_extra = [token for names, _, tokens in options
                        if not names & SELECTION_OPTIONS for token in tokens]
    args.skip_done = next((value for names, value, _ in options if "skip-done" in names), None)
    return args


def extract_options(extra):
    """velqor-extract's options as its parser reads them: (long names, value, arguments) each.
    A positional path among them is refused: the driver's own paths are the ones listed."""
    options = []
    arguments = iter(extra)
    for argument in arguments:
        if argument == "--" or not argument.startswith("-") or argument == "-":
            raise ValueError(f"{argument!r} after '--' is not an option; paths go before it")
        if argument.startswith("--"):
            name, assigned, value = argument[2:].partition("=")
            names = {name}
        else:
            # Letters packed into one argument are options each; one that takes a value takes
            # the rest of the argument, if any.
            names, value, assigned = set(), "", ""
            for position, letter in enumerate(argument[1:], 1):
                name = SHORT_OPTIONS.get(letter, letter)
                names.add(name)
                if name in VALUE_OPTIONS:
                    value = argument[position + 1:].removeprefix("=")
                    assigned = value
                    break
        tokens = [argument]
        if names & VALUE_OPTIONS and not assigned:
            value = next(arguments, None)
            if value is None:
                raise ValueError(f"{argument} after '--' needs a value")
            tokens.append(value)
        options.append((names, value, tokens))
    return options


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
        listing = subprocess.run(command, stdout=subprocess.PIPE, timeout=args.timeout,
                                 check=False, preexec_fn=dying_with_parent())
    except OSError as error:
        raise Failure(f"cannot run {args.extract}: {error.strerror}", 1) from None
    except subprocess.TimeoutExpired:
        raise Failure(f"listing the recordings took more than {args.timeout} s", 1) from None
    if listing.returncode < 0:
        signum = -listing.returncode
        raise Failure(f"listing the recordings: {args.extract} was killed by "
                      f"{signal.Signals(signum).name}", 128 + signum)
    if listing.returncode not in (0, 2):
        raise Failure("", listing.returncode)  # velqor-extract has said why
    separator = b"\0" if nul else b"\n"
    recordings = [p for p in listing.stdout.split(separator) if p]
    # A worker elsewhere would look for a relative path in its own folder, and find nothing.
    relative = next((p for p in recordings if not os.path.isabs(p)), None)
    if args.scheduler and relative is not None:
        raise Failure(f"{os.fsdecode(relative)} is a relative path, which the cluster's workers "
                      f"would look for in their own folders; give absolute paths", 64)
    return recordings, listing.returncode


def output_stat(output):
    """What the output is now: standard output's open file, or the named file (None if it is
    not there yet)."""
    try:
        return os.fstat(sys.stdout.fileno()) if output == "-" else os.stat(output)
    except FileNotFoundError:
        return None
    except OSError as error:
        raise Failure(f"cannot create {output}: {error.strerror}", 73) from None


def is_skip_done_file(output, target, args):
    """Whether the output is the --skip-done file, which the run then resumes by appending."""
    if args.skip_done in (None, "-"):
        return False
    if target is not None:
        with contextlib.suppress(OSError):
            return os.path.samestat(target, os.stat(args.skip_done))
        return False
    # Neither is there yet: one command both starts a run and resumes it.
    return output != "-" and os.path.abspath(output) == os.path.abspath(args.skip_done)


def refuse_read_files(output, target, recordings, args, resumed):
    """Stops a run whose output would replace or write into a recording or a list it reads --
    through -o, or through a shell's `>`, `>>` or `1<>` on standard output."""
    if target is None or not stat.S_ISREG(target.st_mode):
        return
    name = "standard output" if output == "-" else f"the output {output}"
    lists = [("the --files-from list", args.files_from)]
    if not resumed:
        lists.append(("the --skip-done file", args.skip_done))
    recordings = ((f"the recording {os.fsdecode(p)}", p) for p in recordings)
    for what, path in itertools.chain(lists, recordings):
        if path in (None, "-"):
            continue
        with contextlib.suppress(OSError):  # not there (yet): nothing to replace
            if os.path.samestat(target, os.stat(path)):
                raise Failure(f"{name} is {what}, which the run reads", 64)


@contextlib.contextmanager
def open_output(output, recordings, args):
    """A binary stream for the output: standard output, a device or pipe as it stands, the
    --skip-done file appended to, or a file that replaces the named one only once complete."""
    target = output_stat(output)
    resumed = is_skip_done_file(output, target, args)
    refuse_read_files(output, target, recordings, args, resumed)
    if output == "-":
        if resumed:
            cut_incomplete_line(sys.stdout.fileno(), args.skip_done, "standard output")
        yield sys.stdout.buffer
        sys.stdout.flush()
        return
    if resumed:
        try:
            fd = os.open(output, os.O_WRONLY | os.O_APPEND | os.O_CREAT | os.O_CLOEXEC, 0o666)
        except OSError as error:
            raise Failure(f"cannot open {output}: {error.strerror}", 73) from None
        with os.fdopen(fd, "wb") as stream:
            cut_incomplete_line(fd, args.skip_done, output)
            yield stream
        return
    mode = target.st_mode if target is not None else None
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


def cut_incomplete_line(fd, path, name):
    """Cuts off the line an interrupted run left unfinished, so that the first new line does
    not glue onto it, and goes to the end (`1<>` does not append by itself). The output is
    open for writing only, so its content is read through the --skip-done file's name."""
    try:
        end = os.fstat(fd).st_size
        complete = end
        with open(path, "rb") as written:
            while complete > 0:
                start = max(0, complete - 65536)
                written.seek(start)
                newline = written.read(complete - start).rfind(b"\n")
                if newline >= 0:
                    complete = start + newline + 1
                    break
                complete = start
        if complete < end:
            os.ftruncate(fd, complete)
        os.lseek(fd, 0, os.SEEK_END)
    except OSError as error:
        raise Failure(f"cannot write {name}: {error.strerror}", 74) from None


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
                              timeout=timeout, check=False, preexec_fn=dying_with_parent())
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


def dying_with_parent():
    """For a child process: on Linux, killed when the thread that started it ends, so that a
    worker or driver that is stopped or dies leaves no velqor-extract running on."""
    if not sys.platform.startswith("linux"):
        return None
    # Looked up before the fork: the child may only call what is already there.
    prctl = ctypes.CDLL(None, use_errno=True).prctl
    parent = os.getpid()

    def set_signal():
        pr_set_pdeathsig = 1
        # The parent may have died before the signal was set up, and it would never come.
        if prctl(pr_set_pdeathsig, int(signal.SIGKILL)) != 0 or os.getppid() != parent:
            os._exit(127)

    return set_signal


def stop_on_signals():
    """SIGTERM, SIGHUP and SIGINT end the run as an exception, so that the partial output and
    the local cluster are cleaned up; a second signal does not cut that short."""
    def stop(signum, _):
        for number in (signal.SIGTERM, signal.SIGHUP, signal.SIGINT):
            signal.signal(number, signal.SIG_IGN)
        raise SystemExit(128 + signum)

    for number in (signal.SIGTERM, signal.SIGHUP, signal.SIGINT):
        signal.signal(number, stop)


def tail(text, lines=3):
    """The end of a standard error, which says what went wrong last."""
    return " / ".join(text.strip().splitlines()[-lines:]) or "nothing on standard error"


def fail(paths, message):
    """Names a failed batch's recordings on standard error and gives an error line for each, in
    velqor-extract's layout, as the batch's outcome."""
    print(f"velqor_dask.py: {message}; error lines for:", file=sys.stderr)
    lines = []
    for path in paths:
        print(f"  {os.fsdecode(path)}", file=sys.stderr)
        line = {"file": path.decode(errors="replace"),
                "error": {"code": "batch-failed", "message": message}}
        lines.append(json.dumps(line, ensure_ascii=False, separators=(",", ":")).encode() + b"\n")
    return b"".join(lines), "", 1


def combine(status, other):
    """A failed batch (1) outweighs an unreadable recording (2)."""
    return 1 if 1 in (status, other) else max(status, other)


@contextlib.contextmanager
def start_client(args):
    """A client of the scheduler given, or of a local cluster started for this run."""
    from dask.distributed import Client, LocalCluster

    # The worker processes report into this process's log too, and a client that lost its
    # scheduler logs its attempts to reconnect as tracebacks; the driver says itself what
    # failed, batch by batch.
    # Dask's configuration gives some of its loggers levels of their own, and some of its
    # errors are logged under other modules' names, which Python prints when nobody listens.
    for name in ["distributed", *logging.root.manager.loggerDict]:
        if name.startswith("distributed"):
            logging.getLogger(name).setLevel(logging.CRITICAL)
    logging.getLogger().addHandler(logging.NullHandler())
    with contextlib.ExitStack() as stack:
        try:
            if args.scheduler:
                client = Client(args.scheduler, timeout=30)
                stack.callback(quietly, client.close, timeout=10)
                client.wait_for_workers(1, timeout=60)
            else:
                # Nothing of the run is served beyond this machine, not even a status page.
                cluster = LocalCluster(
                        n_workers=args.workers or 2, threads_per_worker=1, processes=True,
                        host="127.0.0.1", dashboard_address="127.0.0.1:0",
                        worker_dashboard_address="127.0.0.1:0", silence_logs=logging.ERROR)
                stack.callback(quietly, cluster.close, timeout=10)
                client = Client(cluster)
                stack.callback(quietly, client.close, timeout=10)
        except (OSError, TimeoutError) as error:
            raise Failure(f"cannot reach the cluster: {error}", 1) from None
        yield client


def quietly(close, **options):
    """Closes a client or cluster; one that is already gone has nothing left to close."""
    with contextlib.suppress(Exception):
        close(**options)


class Batches:
    """The list cut into batches, submitted a window at a time and taken in list order."""

    def __init__(self, client, recordings, args):
        self.client, self.recordings, self.args = client, recordings, args
        self.size = args.batch or min(
                MAX_BATCH, math.ceil(len(recordings) / (self.slots() * BATCHES_PER_SLOT)))
        self.submitted = 0  # recordings given to the cluster
        # Batches done but not yet written stay in the workers' memory, so only a window of
        # them is outstanding.
        self.window = collections.deque()

    def slots(self):
        return max(1, sum(self.client.nthreads().values()))

    def fill(self):
        """Submits batches up to two per worker thread, counting workers that joined late."""
        wanted = 2 * self.slots()
        while len(self.window) < wanted and self.submitted < len(self.recordings):
            batch = self.recordings[self.submitted:self.submitted + self.size]
            self.window.append((batch, self.client.submit(
                    run_batch, self.args.extract, self.args.batch_extra, batch,
                    self.args.timeout, retries=1, pure=False)))
            self.submitted += len(batch)

    def left(self):
        return bool(self.window) or self.submitted < len(self.recordings)

    def take(self):
        """The next (batch, future) in list order; the future is None for a batch that could
        not be submitted."""
        if self.window:
            return self.window.popleft()
        batch = self.recordings[self.submitted:self.submitted + self.size]
        self.submitted += len(batch)
        return batch, None


def index(client, recordings, args, stream):
    """Writes the batches' lines in list order; the exit status of the batches."""
    try:
        batches = Batches(client, recordings, args)
    except Exception as error:  # the scheduler went away before the first batch
        raise Failure(f"cannot use the cluster: {error or type(error).__name__}", 1) from None
    # The head was submitted first and runs first, so waiting for it longer than two runs
    # means the cluster lost it.
    bound = 2 * args.timeout + 60
    lost = None  # why the cluster can no longer be used: every batch left fails with it
    status = 0
    while batches.left():
        if lost is None:
            try:
                batches.fill()
            except Exception as error:  # the scheduler is gone or the client closed
                lost = f"the cluster lost it: {error or type(error).__name__}"
        batch, future = batches.take()
        if lost is not None or future is None:
            lines, errors, code = fail(batch, lost or "the cluster lost it")
        else:
            try:
                lines, errors, code = future.result(timeout=bound)
            except TimeoutError:
                future.cancel()
                lines, errors, code = fail(
                        batch, f"batch got no answer from the cluster within {bound} s")
            except Exception as error:
                why = str(error) or type(error).__name__
                if future.status == "error":  # run on a worker, and failed there twice
                    lines, errors, code = fail(batch, f"batch failed twice: {why}")
                else:  # cancelled when the client lost its scheduler, or the client closed
                    if future.status == "cancelled":
                        why = "the scheduler went away"
                    lost = f"the cluster lost it: {why}"
                    lines, errors, code = fail(batch, lost)
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
    stop_on_signals()
    try:
        recordings, status = list_recordings(args)
        with open_output(args.output, recordings, args) as stream:
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
