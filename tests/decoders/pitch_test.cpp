// Tests of this unit arrive with it.
