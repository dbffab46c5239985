-- Walks its object one unit to the right on every frame. The whole file runs once a frame in the
-- object's own script environment, so the step count is exported: it lives in that environment and
-- survives from one run to the next.
export steps
steps = (steps or 0) + 1
MyObject\SetPositionFloat steps, 0
