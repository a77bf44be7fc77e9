"""Any experiment as a setup: Setup, compute, coherence, Grating.

A Setup is its setup file's effective text, as `pattern --print-setup`
writes it: every number in the fewest digits that read back to the same
binary64, table files by absolute paths. The text is the one form a setup
takes here and in the compiled module, so str(setup) saved to a file runs
in `pattern --setup` with the same result, bit for bit.
"""

import collections
import math
import os

import numpy as np

from . import _PARAMETERS, _arguments, _as_float64, _option_text, _program_name, _slits

# A grating of COUNT slits of WIDTH, centres PERIOD apart, centred on the
# axis, SAMPLES samples per slit: the setup file's `slits` line.
Grating = collections.namedtuple("Grating", "count width period samples")

_NUMBER_TYPES = (int, float, np.integer, np.floating)
# The bench options a setup takes, overriding its lines as they do pattern's.
_BENCH_LINES = frozenset(("wavelength", "phase_model", "sampling", "method"))


def _word(name, value):
    """A number or a word as the setup file's text: a float by its repr(), which
    reads back as the same binary64; refusals as pattern()'s keywords."""
    if isinstance(value, (str, os.PathLike)):
        value = os.fspath(value)
        if not value or any(c.isspace() for c in value):
            raise ValueError(f"{name}: {value!r} is not one word of a setup line")
    return _option_text(name, value)


def _words(name, items):
    """Items, tuples flattened, as one line's words."""
    if isinstance(items, (str, os.PathLike, _NUMBER_TYPES)):
        items = (items,)
    words = []
    for item in items:
        if isinstance(item, (tuple, list)):
            words.extend(_words(name, item))
        else:
            words.append(_word(name, item))
    return words


def _keyword_text(source, planes, screen, quantity, spectrum):
    """Setup-file lines from Setup's keywords."""
    lines = [] if spectrum is None else ["spectrum " + " ".join(_words("spectrum", spectrum))]
    lines.append("source " + " ".join(_words("source", source)))
    if not planes:
        raise ValueError("planes: a setup needs one plane at least, [(distance, openings), ...]")
    for k, plane in enumerate(planes, 1):
        try:
            distance, openings = plane
        except (TypeError, ValueError):
            raise TypeError(f"planes[{k - 1}]: (distance, openings), not {plane!r}") from None
        lines.append(f"plane {_word('plane', distance)}")
        if isinstance(openings, Grating):
            openings = [openings]
        for opening in openings:
            if isinstance(opening, Grating):
                lines.append("slits " + " ".join(_words("slits", tuple(opening))))
            elif isinstance(opening, (tuple, list)) and len(opening) == 3:
                lines.append("opening " + " ".join(_words("opening", opening)))
            else:
                raise TypeError(f"plane {k}: an opening is (from, to, samples) or a "
                                f"slits.Grating, not {opening!r}")
    if screen is None:
        raise ValueError("screen: (distance, from, to, count) is needed")
    lines.append("screen " + " ".join(_words("screen", screen)))
    lines.append("quantity " + _word("quantity", quantity))
    return lines


class Setup:
    """An experiment: a source, planes of openings and a screen (see docs/model.md).

    Setup(text, folder=None): from a setup file's text, table files found
    relative to folder (default: the working directory).
    Setup(wavelength=..., source=..., planes=[...], screen=..., quantity=...):
    from keywords, each a setup line's values:
        spectrum  ("gaussian", CENTRE, FWHM, SAMPLES) or ("table", FILE): light of
                  many wavelengths, adding as intensities, in place of one;
        source    "plane_wave" (the default), ("coherent", WIDTH, SAMPLES) or
                  ("incoherent", WIDTH, SAMPLES, PROFILE, [flags]) with PROFILE
                  "uniform", ("gaussian", SIGMA) or ("table", FILE);
        planes    [(DISTANCE, [(FROM, TO, SAMPLES), Grating(COUNT, WIDTH, PERIOD,
                  SAMPLES), ...]), ...], each plane DISTANCE behind the previous;
        screen    (DISTANCE, FROM, TO, COUNT), or (DISTANCE, "file", FILE);
        quantity  "amplitude", "intensity" (the default) or "relative".
    wavelength, phase_model, sampling and method override the text's lines,
    as the bench options do `pattern --setup`'s; without text, the build's
    defaults and method propagate. Setup.preset and Setup.from_file too.

    Refusals are ValueErrors with the setup file's own messages, naming
    NAME:LINE (name: the file, else "setup"). str() is the effective setup
    file; setups are equal when their texts are. lengths holds the setup's
    lengths by name (see Setup.lengths), replace() changes them.
    """

    def __init__(self, text=None, *, folder=None, name=None, wavelength=None, phase_model=None,
                 sampling=None, method=None, source=None, planes=None, screen=None,
                 quantity=None, spectrum=None):
        bench = dict(wavelength=wavelength, phase_model=phase_model, sampling=sampling,
                     method=method)
        if text is None:
            lines = _keyword_text("plane_wave" if source is None else source, planes, screen,
                                  "intensity" if quantity is None else quantity, spectrum)
        else:
            given = [key for key, value in dict(source=source, planes=planes, screen=screen,
                                                 quantity=quantity, spectrum=spectrum).items()
                     if value is not None]
            if given:
                raise TypeError(f"Setup(): {given[0]} comes from the text; give keywords or text")
            if not isinstance(text, str):
                raise TypeError(f"Setup(): text must be a str, not {type(text).__name__}")
            lines = text.splitlines()
        folder = "" if folder is None else os.fspath(folder)
        options = _arguments("Setup", _BENCH_LINES,
                             {key: value for key, value in bench.items() if value is not None})
        self._text = _slits.setup_text("\n".join(lines) + "\n", name or "setup", folder, options)

    @classmethod
    def from_text(cls, text, folder=None, **bench):
        """The setup of a setup file's text; bench keywords as Setup()'s."""
        return cls(text, folder=folder, **bench)

    @classmethod
    def from_file(cls, path, **bench):
        """The setup of a file; its refusals name the file, tables relative to its folder."""
        path = os.fspath(path)
        try:
            with open(path, encoding="utf-8") as f:
                text = f.read()
        except (OSError, UnicodeDecodeError):
            raise ValueError(f"{path}: cannot read the setup file") from None
        return cls(text, folder=os.path.dirname(path), name=path, **bench)

    @classmethod
    def preset(cls, program, *, method="propagate", **bench):
        """A pattern program's experiment on its bench (keywords as pattern()'s): what
        `PROGRAM --method propagate` computes, the same numbers bit for bit."""
        bench["method"] = method
        arguments = _arguments("Setup.preset", _PARAMETERS | {"bench"}, bench)
        return cls(_slits.preset_text(_program_name("Setup.preset", program), arguments))

    def __str__(self):
        return self._text

    def __repr__(self):
        return f"slits.Setup({self._text!r})"

    def __eq__(self, other):
        return isinstance(other, Setup) and self._text == other._text

    def __hash__(self):
        return hash(self._text)

    @property
    def quantity(self):
        return _lines(self._text)["quantity"][0][1]

    @property
    def plane_count(self):
        return len(_lines(self._text).get("plane", []))

    @property
    def lengths(self):
        """{name: value} of every length a fit or replace() may change:
        wavelength, or spectrum.centre and spectrum.fwhm (a Gaussian spectrum);
        source.width and source.sigma (a strip, a Gaussian profile);
        planeN.distance for the N-th plane from 1; planeN.openingM.from and .to for
        its M-th opening; planeN.slits.width and .period for its grating
        (planeN.slitsM.* where a plane has several), just slits.width and
        slits.period where the setup has one grating; screen.distance."""
        return {name: float(words[i]) for name, (words, i) in _length_words(self._text).items()}

    def replace(self, changes=None, **bench):
        """A new setup with lengths changed ({name: value}, names as in lengths) and
        bench lines (wavelength, phase_model, sampling, method) given as keywords."""
        rows = [line.split() for line in self._text.splitlines()]
        where = _length_words(self._text, rows)
        for name, value in dict(changes or {}).items():
            if name not in where:
                raise ValueError(f"{name!r} is not a length of this setup; they are "
                                 + ", ".join(where))
            words, i = where[name]
            words[i] = _word(name, value)
        text = "\n".join(" ".join(words) for words in rows) + "\n"
        return Setup(text, **bench)


def _lines(text):
    """{key: [words of each line with that key]} of a setup's text."""
    keyed = {}
    for line in text.splitlines():
        words = line.split()
        if words and not words[0].startswith("#"):
            keyed.setdefault(words[0], []).append(words)
    return keyed


def _length_words(text, rows=None):
    """{name: (the words of its line, the index of its word)} of a canonical text,
    in the order of the lines."""
    rows = rows if rows is not None else [line.split() for line in text.splitlines()]
    found = []  # (name or a grating's (plane, index in plane), words, index)
    plane = openings = slits_in_plane = 0
    for words in rows:
        if not words or words[0].startswith("#"):
            continue
        key = words[0]
        if key == "wavelength":
            found.append(("wavelength", words, 1))
        elif key == "spectrum" and words[1] == "gaussian":
            found.append(("spectrum.centre", words, 2))
            found.append(("spectrum.fwhm", words, 3))
        elif key == "source" and words[1] != "plane_wave":
            found.append(("source.width", words, 2))
            if "gaussian" in words:
                found.append(("source.sigma", words, words.index("gaussian") + 1))
        elif key == "plane":
            plane += 1
            openings = slits_in_plane = 0
            found.append((f"plane{plane}.distance", words, 1))
        elif key == "opening":
            openings += 1
            found.append((f"plane{plane}.opening{openings}.from", words, 1))
            found.append((f"plane{plane}.opening{openings}.to", words, 2))
        elif key == "slits":
            slits_in_plane += 1
            found.append(((plane, slits_in_plane), words, None))
        elif key == "screen":
            found.append(("screen.distance", words, 1))
    gratings = [name for name, _, _ in found if isinstance(name, tuple)]
    in_plane = collections.Counter(p for p, _ in gratings)
    names = {}
    for name, words, i in found:
        if isinstance(name, tuple):
            p, g = name
            prefix = ("slits" if len(gratings) == 1 else
                      f"plane{p}.slits" if in_plane[p] == 1 else f"plane{p}.slits{g}")
            names[prefix + ".width"] = (words, 2)
            names[prefix + ".period"] = (words, 3)
        else:
            names[name] = (words, i)
    return names


def _setup_of(function, setup):
    if not isinstance(setup, Setup):
        raise TypeError(f"{function}(): setup must be a slits.Setup, not {type(setup).__name__}")
    return setup


def compute(setup, x=None, *, threads=1):
    """(x, value) of a setup as float64 arrays: `pattern --setup`'s data file, bit for
    bit (printed with %.17g, its --precision 17 lines).

    With x, the values at those screen positions instead (x converts to float64
    exactly or is refused as cis() refuses theta); relative values are divided
    by the value at 0, computed alone, so on the setup's own screen they are the
    data file's numbers. threads as pattern()'s (0: one per core). The GIL is
    released; Ctrl-C raises KeyboardInterrupt within a block of screen points.
    """
    text = str(_setup_of("compute", setup))
    arguments = _arguments("compute", {"threads"}, {"threads": threads})
    if x is None:
        return _slits.setup_pattern(text, arguments)
    positions = _as_float64(x)
    values = _slits.setup_values_at(text, arguments, positions.reshape(-1))
    return positions, values.reshape(positions.shape)


def coherence(setup, x1, x2, plane=None):
    """|gamma_12|, the modulus of the complex degree of coherence between the points
    x1 and x2 of a plane (None or 0: the screen; 1, 2, ...: the setup's planes) under
    the setup's incoherent source: the visibility two narrow slits there would show.
    A coherent source or a plane wave is refused (ValueError)."""
    setup = _setup_of("coherence", setup)
    if not hasattr(_slits, "coherence"):
        raise RuntimeError("slits was built without the setup library's degree of coherence")
    plane = 0 if plane is None else plane
    if isinstance(plane, bool) or not isinstance(plane, (int, np.integer)):
        raise TypeError(f"coherence(): plane must be a whole number, not {plane!r}")
    x1, x2 = float(x1), float(x2)
    if not (math.isfinite(x1) and math.isfinite(x2)):
        raise ValueError(f"coherence(): x1 = {x1!r} and x2 = {x2!r} must be finite")
    return _slits.coherence(str(setup), x1, x2, int(plane))
