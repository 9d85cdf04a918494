"""The randomized tests' settings profiles (helpers shared by the test modules: helpers.py)."""

import os

from hypothesis import HealthCheck, settings

# Randomized tests: a bounded run by default, a long one on request with
# TARNEX_HYPOTHESIS_PROFILE=long (as many examples as TARNEX_HYPOTHESIS_EXAMPLES says, by
# default no practical limit: stop it when it has run long enough).
settings.register_profile(
    "bounded", max_examples=50,
    deadline=None, suppress_health_check=[HealthCheck.too_slow], print_blob=True)
# The per-level runs repeat the randomized tests against a build pinned to each level.
settings.register_profile(
    "level", max_examples=15,
    deadline=None, suppress_health_check=[HealthCheck.too_slow], print_blob=True)
settings.register_profile(
    "long", max_examples=int(os.environ.get("TARNEX_HYPOTHESIS_EXAMPLES", 10**9)),
    deadline=None, suppress_health_check=[HealthCheck.too_slow], print_blob=True)
settings.load_profile(os.environ.get("TARNEX_HYPOTHESIS_PROFILE", "bounded"))
