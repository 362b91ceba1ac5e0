"""Draws each micrograph's picture and thumbnail, in a small process pool, skipping those that are
newer than the files they are drawn from."""
import multiprocessing
import os

import figures
import run_files

_figure = None  # each worker process keeps one figure for all its micrographs


def title_of(m):
    v = m.values
    parts = [m.name, f"U {v['defocus_u']:.0f} Å", f"V {v['defocus_v']:.0f} Å", f"angle {v['angle']:.1f}°"]
    if "phase_shift" in m.texts:
        parts.append(f"phase {v['phase_shift']:.1f}°")
    parts += [f"resolution {v['resolution']:.2f} Å", f"FOM {v['fom']:.3f}"]
    return "    ".join(parts)


def write_atomically(write, path):
    """Writes through a temporary name, so a report that is stopped leaves no half-written PNG."""
    partial = path + ".part.png"
    try:
        write(partial)
        os.replace(partial, path)
    finally:
        if os.path.exists(partial):
            os.remove(partial)


def draw(task):
    """Draws one micrograph; returns "" or the reason it has no picture. A file that cannot be
    drawn costs its micrograph the picture, never the report."""
    try:
        return draw_files(*task)
    except Exception as e:  # noqa: BLE001 (whatever a damaged file provokes)
        return f"picture failed: {e}"


def draw_files(paths, title, resolution, picture, thumbnail):
    global _figure
    image, why = run_files.read_diagnosis_image(paths["ctf"])
    if image is None:
        return why
    epa, why = run_files.read_epa(paths["epa"])
    if epa is None:
        return why
    if _figure is None:
        _figure = figures.MicrographFigure()
    write_atomically(lambda p: figures.write_thumbnail(image, p), thumbnail)
    write_atomically(lambda p: _figure.draw(image, epa, title, resolution, p), picture)
    return ""


def is_fresh(picture, thumbnail, paths):
    inputs = run_files.newest_mtime([paths["ctf"], paths["log"]] + paths["epa"])
    outputs = [p for p in (picture, thumbnail) if os.path.exists(p)]
    return inputs is not None and len(outputs) == 2 and min(map(os.path.getmtime, outputs)) > inputs


def make_pictures(micrographs, picture_dir, thumbnail_dir, jobs):
    """Sets each micrograph's note ("" when it has a picture); returns how many were drawn."""
    tasks, pending = [], []
    for m in micrographs:
        picture, thumbnail = os.path.join(picture_dir, m.picture), os.path.join(thumbnail_dir, m.picture)
        if os.path.exists(m.paths["ctf"]) and is_fresh(picture, thumbnail, m.paths):
            m.note = ""
            continue
        tasks.append((m.paths, title_of(m), m.values["resolution"], picture, thumbnail))
        pending.append(m)
    if jobs > 1 and len(tasks) > 1:
        with multiprocessing.get_context("fork").Pool(jobs) as pool:
            notes = pool.map(draw, tasks, chunksize=max(1, min(16, len(tasks) // (4 * jobs))))
    else:
        notes = [draw(task) for task in tasks]
    for m, note in zip(pending, notes):
        m.note = note
    return sum(1 for note in notes if not note)
