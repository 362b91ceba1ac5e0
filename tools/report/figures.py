"""The pictures of the report: one per micrograph (its diagnosis image beside the 1D fit), a
thumbnail of the diagnosis image, and the run's defocus, astigmatism and resolution plots.

A micrograph's picture is drawn on one figure kept for the whole run: only its data change, which
is many times faster than building a figure per micrograph."""
import matplotlib

matplotlib.use("Agg")
from matplotlib.backends.backend_agg import FigureCanvasAgg  # noqa: E402
from matplotlib.figure import Figure  # noqa: E402
from matplotlib.ticker import MaxNLocator  # noqa: E402
import numpy as np  # noqa: E402
from PIL import Image  # noqa: E402  (Pillow: matplotlib's own PNG writer)

THUMB_PIXELS = 128
FIT_Y_RANGE = (-0.3, 1.3)  # the measured curve is scaled to swing from 0 to 1 where it follows the fit
PNG_COMPRESSION = 3  # zlib level: the noisy spectra barely compress further, and level 6 takes twice as long
RESOLUTION_TICKS = (50, 30, 20, 15, 10, 8, 6, 5, 4, 3.5, 3, 2.5, 2.2, 2, 1.8, 1.6, 1.4, 1.2, 1)


def stretch_limits(image, low=2.0, high=98.0):
    lo, hi = np.percentile(image, [low, high])
    return (lo, hi) if hi > lo else (lo, lo + 1.0)


def grey_pixels(image):
    """8-bit grey levels stretched between percentiles, top row first (MRC rows run upwards)."""
    lo, hi = stretch_limits(image)
    return np.clip((image[::-1] - lo) * (255.0 / (hi - lo)), 0, 255).astype(np.uint8)


def fitted_grey(image, width, height):
    """The image in grey, scaled (averaging over the pixels it shrinks) to fit width x height."""
    scale = min(height / image.shape[0], width / image.shape[1])
    size = (max(1, int(image.shape[1] * scale)), max(1, int(image.shape[0] * scale)))
    return Image.fromarray(grey_pixels(image)).resize(size, Image.Resampling.BOX)


def write_thumbnail(image, path):
    fitted_grey(image, THUMB_PIXELS, THUMB_PIXELS).save(path, compress_level=PNG_COMPRESSION)


def has_limit(resolution_limit):
    return resolution_limit is not None and bool(np.isfinite(resolution_limit)) and resolution_limit > 0


def lobe_windows(ctf):
    """For each point, the first and one-past-last index of the three lobes of |CTFsim| (zero to
    zero) around it, so a window always spans whole rings whatever their width."""
    inner = np.flatnonzero((ctf[1:-1] <= ctf[:-2]) & (ctf[1:-1] <= ctf[2:])) + 1
    zeros = np.concatenate([[0], inner, [ctf.size - 1]])
    lobe = np.searchsorted(zeros, np.arange(ctf.size), side="right") - 1
    first = zeros[np.clip(lobe - 1, 0, zeros.size - 1)]
    last = zeros[np.clip(lobe + 2, 0, zeros.size - 1)] + 1
    return first, last


def fit_curves(epa, resolution_limit):
    """The 1D fit from an EPA table: x (1/Angstrom), |CTFsim|, the background-subtracted EPA mapped
    onto |CTFsim|, and the CCC.

    The measured rings fade with resolution, so one scale cannot show them all: around each point
    the measured curve has its mean over three rings taken off and is divided by its spread there,
    so rings that follow the fit swing from 0 to 1 like |CTFsim|. Beyond the resolution limit the
    spread at the limit is kept, so what lies there keeps its true size."""
    x = 1.0 / epa[:, 0]
    ctf, measured, ccc = epa[:, 1], epa[:, 3], epa[:, 4]
    first, last = lobe_windows(ctf)
    sums = np.concatenate([[0.0], np.cumsum(measured)])
    squares = np.concatenate([[0.0], np.cumsum(measured ** 2)])
    count = last - first
    mean = (sums[last] - sums[first]) / count
    spread = np.sqrt(np.maximum((squares[last] - squares[first]) / count - mean ** 2, 0.0))
    if has_limit(resolution_limit):
        beyond = epa[:, 0] < resolution_limit
        if beyond.any() and not beyond.all():
            spread[beyond] = spread[np.flatnonzero(~beyond)[-1]]
    spread = np.maximum(spread, 1e-6 + 1e-3 * spread.max())
    # A sine of spread s swings by s * sqrt(2) about its mean; |CTFsim| swings by 0.5 about 0.5.
    return x, ctf, 0.5 + (measured - mean) / (2.0 * np.sqrt(2.0) * spread), ccc


def resolution_ticks(x_low, x_high):
    """Ticks at round resolutions within the range, none nearer than 1/25 of the range to the last."""
    positions, labels = [], []
    for r in RESOLUTION_TICKS:
        x = 1.0 / r
        if x_low <= x <= x_high and (not positions or x - positions[-1] >= (x_high - x_low) / 25):
            positions.append(x)
            labels.append(f"{r:g}")
    return positions, labels


class MicrographFigure:
    """The per-micrograph picture; draw() replaces the data and writes one PNG.

    The axes, labels and legend are rendered once and kept as a background (again only when the
    range of resolutions changes); each micrograph then draws just its curves and texts over it,
    and its diagnosis image is placed into the pixels of the left panel directly."""

    def __init__(self):
        self.figure = Figure(figsize=(11, 4.6), dpi=90)
        self.canvas = FigureCanvasAgg(self.figure)
        self.image_axes = self.figure.add_axes([0.01, 0.1, 0.36, 0.76])
        self.image_axes.set_axis_off()
        self.image_axes.text(0.5, -0.02, "simulated CTF  |  measured spectrum", transform=self.image_axes.transAxes,
                             ha="center", va="top", fontsize=9)
        self.fit = self.figure.add_axes([0.43, 0.13, 0.55, 0.73])
        (self.ctf_line,) = self.fit.plot([], [], color="black", lw=1.0, label="|CTF| of the fit")
        (self.measured_line,) = self.fit.plot([], [], color="tab:red", lw=1.0, label="EPA(Ln|F| - Bg), scaled")
        (self.ccc_line,) = self.fit.plot([], [], color="tab:blue", lw=0.8, ls="--", label="CCC")
        self.limit_line = self.fit.axvline(0.0, color="tab:green", lw=1.2)
        self.limit_text = self.fit.text(0.0, 0.02, "", color="tab:green", ha="left", va="bottom", fontsize=9,
                                        transform=self.fit.get_xaxis_transform(),
                                        bbox={"facecolor": "white", "edgecolor": "none", "alpha": 0.8, "pad": 1})
        self.fit.set_xlabel("resolution (Å)")
        self.fit.set_ylim(*FIT_Y_RANGE)
        self.fit.legend(loc="lower right", bbox_to_anchor=(1.0, 1.0), ncol=3, fontsize=8, frameon=False)
        self.title = self.figure.suptitle("", fontsize=11, y=0.98)
        self.changing = [self.ctf_line, self.measured_line, self.ccc_line, self.limit_line, self.limit_text, self.title]
        for artist in self.changing:
            artist.set_animated(True)
        self.background, self.x_range = None, None

    def render_background(self, x_low, x_high):
        self.fit.set_xlim(x_low, x_high)
        self.fit.set_xticks(*resolution_ticks(x_low, x_high))
        self.canvas.draw()
        self.background = self.canvas.copy_from_bbox(self.figure.bbox)
        self.x_range = (x_low, x_high)

    def image_pixels(self, image):
        """The diagnosis image as grey pixels filling the left panel, and where its top left lies."""
        box = self.image_axes.get_window_extent()
        grey = np.asarray(fitted_grey(image, box.width, box.height))
        top = int(self.figure.bbox.height - box.y1) + (int(box.height) - grey.shape[0]) // 2
        left = int(box.x0) + (int(box.width) - grey.shape[1]) // 2
        return grey, top, left

    def draw(self, image, epa, title, resolution_limit, path):
        x, ctf, measured, ccc = fit_curves(epa, resolution_limit)
        x_range = (float(x.min()), float(x.max()))
        if x_range != self.x_range:
            self.render_background(*x_range)
        self.canvas.restore_region(self.background)
        self.ctf_line.set_data(x, ctf)
        self.measured_line.set_data(x, measured)
        self.ccc_line.set_data(x, ccc)
        limit_shown = has_limit(resolution_limit)
        self.limit_line.set_visible(limit_shown)
        self.limit_text.set_visible(limit_shown)
        if limit_shown:
            self.limit_line.set_xdata([1.0 / resolution_limit] * 2)
            self.limit_text.set_x(1.0 / resolution_limit)
            self.limit_text.set_text(f" {resolution_limit:.2f} Å")
        self.title.set_text(title)
        for artist in self.changing:
            self.figure.draw_artist(artist)
        pixels = np.ascontiguousarray(np.asarray(self.canvas.buffer_rgba())[..., :3])
        grey, top, left = self.image_pixels(image)
        pixels[top:top + grey.shape[0], left:left + grey.shape[1]] = grey[..., None]
        # 256 colours hold the grey levels and the few colours of the curves; the file is a third
        # of a full-colour one and written faster.
        palette = Image.fromarray(pixels).quantize(256, method=Image.Quantize.FASTOCTREE)
        palette.save(path, compress_level=PNG_COMPRESSION)


def plot_run(values, path):
    """Defocus U and V, astigmatism and resolution over the micrographs (in STAR order), each
    beside its histogram. `values` maps a name to an array with NaN where a row has no value."""
    panels = [("defocus (Å)", [("U", values["defocus_u"]), ("V", values["defocus_v"])]),
              ("astigmatism |U - V| (Å)", [("", values["astigmatism"])]),
              ("resolution limit (Å)", [("", values["resolution"])])]
    figure = Figure(figsize=(11, 8.5), dpi=80)
    grid = figure.add_gridspec(len(panels), 2, width_ratios=(3, 1), hspace=0.45, wspace=0.2)
    for row, (label, series) in enumerate(panels):
        over, histogram = figure.add_subplot(grid[row, 0]), figure.add_subplot(grid[row, 1])
        for name, data in series:
            index = np.arange(1, len(data) + 1)
            over.plot(index, data, ".", ms=3, label=name or None)
            finite = data[np.isfinite(data)]
            if finite.size:
                histogram.hist(finite, bins=min(40, max(5, finite.size // 5)), orientation="horizontal",
                               alpha=0.6, label=name or None)
        over.set_ylabel(label)
        over.set_xlabel("micrograph (STAR file order)")
        over.xaxis.set_major_locator(MaxNLocator(integer=True))
        histogram.set_xlabel("micrographs")
        if len(series) > 1:
            over.legend(fontsize=8)
        histogram.sharey(over)
    figure.savefig(path, bbox_inches="tight")
