"""The build backend of the beadwalks package: standard library only.

Implements the hooks pip calls (build_wheel, build_sdist, build_editable and
their metadata) for one pure-Python package, so that `pip install ./python`
works without a package index. Metadata come from pyproject.toml.
"""

from __future__ import annotations

import base64
import hashlib
import io
import os
import tarfile
import tomllib
import zipfile

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
PACKAGE = "beadwalks"
TAG = "py3-none-any"


def _project() -> dict:
    with open(os.path.join(ROOT, "pyproject.toml"), "rb") as f:
        return tomllib.load(f)["project"]


def _dist_name() -> str:
    p = _project()
    return f"{p['name']}-{p['version']}"


def _metadata() -> str:
    p = _project()
    lines = ["Metadata-Version: 2.1", f"Name: {p['name']}", f"Version: {p['version']}",
             f"Summary: {p['description']}", f"Requires-Python: {p['requires-python']}"]
    lines += [f"Requires-Dist: {d}" for d in p.get("dependencies", [])]
    for extra, deps in p.get("optional-dependencies", {}).items():
        lines.append(f"Provides-Extra: {extra}")
        lines += [f'Requires-Dist: {d}; extra == "{extra}"' for d in deps]
    with open(os.path.join(ROOT, p["readme"]), encoding="utf-8") as f:
        readme = f.read()
    return "\n".join(lines + ["Description-Content-Type: text/markdown", "", readme])


def _dist_info_files() -> dict[str, str]:
    wheel = f"Wheel-Version: 1.0\nGenerator: beadwalks-backend\nRoot-Is-Purelib: true\nTag: {TAG}\n"
    scripts = _project().get("scripts", {})
    files = {"METADATA": _metadata(), "WHEEL": wheel}
    if scripts:
        files["entry_points.txt"] = "[console_scripts]\n" + "".join(f"{k} = {v}\n" for k, v in scripts.items())
    return files


def _package_files() -> list[tuple[str, str]]:
    """(path in the wheel, path on disk) of every module of the package."""
    out = []
    for folder, dirs, files in os.walk(os.path.join(ROOT, PACKAGE)):
        dirs[:] = sorted(d for d in dirs if d != "__pycache__")
        for name in sorted(files):
            if name.endswith(".py"):
                disk = os.path.join(folder, name)
                out.append((os.path.relpath(disk, ROOT).replace(os.sep, "/"), disk))
    return out


def _record_line(name: str, data: bytes) -> str:
    digest = base64.urlsafe_b64encode(hashlib.sha256(data).digest()).rstrip(b"=").decode()
    return f"{name},sha256={digest},{len(data)}"


def _write_wheel(directory: str, contents: list[tuple[str, bytes]]) -> str:
    dist_info = f"{_dist_name()}.dist-info"
    contents = contents + [(f"{dist_info}/{k}", v.encode()) for k, v in _dist_info_files().items()]
    record = [_record_line(name, data) for name, data in contents] + [f"{dist_info}/RECORD,,"]
    filename = f"{_dist_name()}-{TAG}.whl"
    with zipfile.ZipFile(os.path.join(directory, filename), "w", zipfile.ZIP_DEFLATED) as whl:
        for name, data in contents:
            whl.writestr(name, data)
        whl.writestr(f"{dist_info}/RECORD", "\n".join(record) + "\n")
    return filename


def get_requires_for_build_wheel(config_settings=None):
    return []


get_requires_for_build_sdist = get_requires_for_build_wheel
get_requires_for_build_editable = get_requires_for_build_wheel


def prepare_metadata_for_build_wheel(metadata_directory, config_settings=None):
    dist_info = f"{_dist_name()}.dist-info"
    os.makedirs(os.path.join(metadata_directory, dist_info), exist_ok=True)
    for name, text in _dist_info_files().items():
        with open(os.path.join(metadata_directory, dist_info, name), "w", encoding="utf-8") as f:
            f.write(text)
    return dist_info


prepare_metadata_for_build_editable = prepare_metadata_for_build_wheel


def build_wheel(wheel_directory, config_settings=None, metadata_directory=None):
    contents = []
    for name, disk in _package_files():
        with open(disk, "rb") as f:
            contents.append((name, f.read()))
    return _write_wheel(wheel_directory, contents)


def build_editable(wheel_directory, config_settings=None, metadata_directory=None):
    # A path file puts this folder on sys.path: the sources are used in place.
    return _write_wheel(wheel_directory, [(f"{PACKAGE}.pth", (ROOT + "\n").encode())])


def build_sdist(sdist_directory, config_settings=None):
    base = _dist_name()
    filename = f"{base}.tar.gz"
    with tarfile.open(os.path.join(sdist_directory, filename), "w:gz") as tar:
        for rel in ("pyproject.toml", "README.md", "_build/backend.py"):
            tar.add(os.path.join(ROOT, rel), f"{base}/{rel}")
        for name, disk in _package_files():
            tar.add(disk, f"{base}/{name}")
        info = tarfile.TarInfo(f"{base}/PKG-INFO")
        data = _metadata().encode()
        info.size = len(data)
        tar.addfile(info, io.BytesIO(data))
    return filename
