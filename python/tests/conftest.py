"""The module under test is the one on sys.path (the build's python/ folder, as make test
sets PYTHONPATH); AERIAL_LIBRARY names the built libaerial for main4's own tables and
AERIAL_SOURCE the source tree (default: two folders up)."""
import os

import pytest

SOURCE = os.environ.get("AERIAL_SOURCE", os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__)))))


@pytest.fixture
def source():
    return SOURCE


@pytest.fixture
def library_path():
    path = os.environ.get("AERIAL_LIBRARY")
    if not path:
        pytest.skip("AERIAL_LIBRARY is not set")
    return path
