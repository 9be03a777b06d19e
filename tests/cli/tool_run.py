"""What the command-line tests share: the tool under test (their first argument), a run of it
that captures its output and never hangs the suite, and the skip of a test whose oracles are
missing."""
import importlib.util
import shutil
import subprocess
import sys

TOOL = sys.argv[1] if len(sys.argv) > 1 else None


def needs(*programs, modules=()):
    """Skips the whole test (exit 77, which CTest counts as skipped) unless every program is on
    the path and every Python module can be imported."""
    if not all(shutil.which(p) for p in programs):
        sys.exit(77)
    for module in modules:
        try:
            found = importlib.util.find_spec(module)
        except ImportError:
            found = None
        if found is None:
            sys.exit(77)


def run(*args, timeout=60, limit=None, prefix=(), tool=None, ok=False, text=False, env=None,
        input=None):
    """Runs the tool (`tool`, else the first argument) with `args` (after `prefix`, a wrapper
    such as strace or an emulator); `limit` caps the size of the files it may write (as a full
    disk would); `ok` asserts that it succeeded."""
    def limited():
        import resource
        resource.setrlimit(resource.RLIMIT_FSIZE, (limit, limit))
    result = subprocess.run([*prefix, tool or TOOL, *args], capture_output=True, timeout=timeout,
                            preexec_fn=limited if limit is not None else None, text=text,
                            env=env, input=input)
    if ok:
        assert result.returncode == 0, (
            result.stderr if text else result.stderr.decode(errors="replace"))
    return result
