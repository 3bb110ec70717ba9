"""BEADWALKS from Python: data sets in code, runs, diagnoses and results.

``DataSetInput``, ``write_data_file`` and ``read_data_file`` build and read
input data files; ``run`` runs the program on them and ``read_output(path)``
reads an output file into a :class:`Run` of :class:`DataSet` objects;
:mod:`beadwalks.ratios` derives the universal ratios, :mod:`beadwalks.fits`
fits power laws in N, :mod:`beadwalks.plots` draws P(r*) and the scaling
figure, and ``python3 -m beadwalks.results`` does all of it from the command
line.
"""

from beadwalks.inputs import DataSetInput, read_data_file, write_data_file
from beadwalks.limits import LongChainLimit, long_chain_limits
from beadwalks.model import DataSet, Estimate, PrRow, Run
from beadwalks.reader import FieldOverflowWarning, OutputFormatError, read_output
from beadwalks.diagnosis import Diagnosis, diagnose
from beadwalks.running import RunError, find_executable, run

__version__ = "1.1.0"

__all__ = ["DataSet", "DataSetInput", "Diagnosis", "diagnose", "Estimate", "FieldOverflowWarning", "LongChainLimit", "OutputFormatError", "PrRow", "Run",
           "RunError", "find_executable", "long_chain_limits", "read_data_file", "read_output", "run", "write_data_file",
           "__version__"]
