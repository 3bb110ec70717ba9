"""Results of BEADWALKS runs as data and pictures.

``read_output(path)`` reads an output file of the program into a
:class:`Run` of :class:`DataSet` objects; :mod:`beadwalks.ratios` derives the
universal ratios, :mod:`beadwalks.fits` fits power laws in N,
:mod:`beadwalks.plots` draws P(r*) and the scaling figure, and
``python3 -m beadwalks.results`` does all of it from the command line.
"""

from beadwalks.model import DataSet, Estimate, PrRow, Run
from beadwalks.reader import FieldOverflowWarning, OutputFormatError, read_output

__version__ = "1.0.0"

__all__ = ["DataSet", "Estimate", "FieldOverflowWarning", "OutputFormatError", "PrRow", "Run",
           "read_output", "__version__"]
