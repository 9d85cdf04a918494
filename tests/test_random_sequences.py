"""Randomized sequences of calls, compared with the model step by step: arrays made by one
call are the operands of the next, the in-place writes change them along the way, and
arguments whose conversions call back into the arrays meet the borrows of the call in
progress. After every step each array equals its model bit for bit and none is left
borrowed."""

from hypothesis import settings
from hypothesis import strategies as st
from hypothesis.stateful import RuleBasedStateMachine, initialize, invariant, precondition, rule

import reference as ref
from strategies import call_args, constructor_call, make_pool, pool_contents


class CallSequences(RuleBasedStateMachine):
    @initialize(contents=pool_contents())
    def start(self, contents):
        self.pool = make_pool(contents)

    @rule(data=st.data(), name=st.sampled_from(sorted(ref.METHODS)))
    def call_a_method(self, data, name):
        receiver = data.draw(st.integers(0, len(self.pool.float_pairs) - 1), label="receiver")
        args, kwargs = data.draw(call_args(self.pool, receiver, name), label="arguments")
        self.pool.call(receiver, name, args, kwargs)

    @rule(data=st.data(), is_mask=st.booleans())
    def construct(self, data, is_mask):
        args, kwargs = data.draw(constructor_call(self.pool, is_mask), label="arguments")
        self.pool.construct(is_mask, args, kwargs)

    @precondition(lambda self: self.pool.mask_pairs)
    @rule(data=st.data())
    def bool_array_shape(self, data):
        receiver = data.draw(st.integers(0, len(self.pool.mask_pairs) - 1), label="receiver")
        self.pool.call(receiver, "shape", [], {}, is_mask=True)

    @invariant()
    def arrays_match_their_models(self):
        if hasattr(self, "pool"):
            self.pool.check()


CallSequences.TestCase.settings = settings(settings(), stateful_step_count=20)
test_call_sequences = CallSequences.TestCase
