"""What the benchmark scripts share: running a command with its output through a
file (Wine's background processes may keep a pipe open) and the paths of the rig."""
import pathlib
import subprocess
import tempfile

ROOT = pathlib.Path(__file__).resolve().parents[2]
RIG = ROOT / "tests/rig/wine-env"


def run(cmd, env=None):
    """Runs cmd and returns its output; exits with a message when it fails."""
    with tempfile.TemporaryFile() as out:
        rc = subprocess.call(cmd, stdout=out, stderr=subprocess.STDOUT, env=env, timeout=1800)
        out.seek(0)
        text = out.read().decode("utf-8", "replace")
    if rc != 0:
        raise SystemExit(f"failed ({rc}): {' '.join(map(str, cmd))}\n{text}")
    return text
