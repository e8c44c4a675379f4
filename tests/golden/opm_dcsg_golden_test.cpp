// Tests of this unit arrive with its decoder.
