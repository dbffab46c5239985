-- The splash screen moves on to the title after a few seconds, or at once on any key or click.
Waited = (Waited or 0) + DeltaTime
if not Leaving and (Waited > 5.0 or IsPlayerActionHeld("any")) then
    Leaving = true
    SetNextScene("TitleMenuScene")
end
