"""Standard output of the command lines, as Unix tools treat it.

When the reader of standard output goes away (``... | head``), what is left
to print is dropped quietly and the command does the rest of its work (the
files it was asked to write are still written): standard output is pointed
at /dev/null, so that neither later prints nor the final flush at exit
complain.
"""

from __future__ import annotations

import os
import sys


def _silence_stdout() -> None:
    try:
        devnull = os.open(os.devnull, os.O_WRONLY)
        os.dup2(devnull, sys.stdout.fileno())
        os.close(devnull)
    except (OSError, ValueError, AttributeError):
        pass


def say(text: str) -> None:
    """Prints ``text`` and a line end on standard output; a closed pipe ends printing quietly."""
    try:
        print(text, flush=True)
    except BrokenPipeError:
        _silence_stdout()
