"""What the command-line tests share: the tool under test (their first argument) and a run of
it that captures its output and never hangs the suite."""
import subprocess
import sys

TOOL = sys.argv[1] if len(sys.argv) > 1 else None


def run(*args, timeout=60, limit=None, prefix=()):
    """Runs the tool with `args` (after `prefix`, a wrapper such as strace); `limit` caps the
    size of the files it may write (as a full disk would)."""
    def limited():
        import resource
        resource.setrlimit(resource.RLIMIT_FSIZE, (limit, limit))
    return subprocess.run([*prefix, TOOL, *args], capture_output=True, timeout=timeout,
                          preexec_fn=limited if limit is not None else None)
