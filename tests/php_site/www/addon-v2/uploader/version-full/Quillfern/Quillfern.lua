-- Quillfern 2.2, Full edition: notes the quests handed in and the characters met.
QF_Version = "2.2"
QF_Data = QF_Data or { ["quests"] = {}, ["npcs"] = {} }
QF_Purge = QF_Purge or "false"

local frame = CreateFrame("Frame")
frame:RegisterEvent("ADDON_LOADED")
frame:RegisterEvent("QUEST_TURNED_IN")
frame:RegisterEvent("PLAYER_TARGET_CHANGED")
frame:SetScript("OnEvent", function(_, event, arg1, arg2)
    if event == "ADDON_LOADED" and arg1 == "Quillfern" then
        -- The uploader sets the flag once the data has reached the site.
        if QF_Purge == "true!" then
            QF_Data = { ["quests"] = {}, ["npcs"] = {} }
            QF_Purge = "false"
        end
    elseif event == "QUEST_TURNED_IN" then
        QF_Data.quests[arg1] = C_QuestLog and C_QuestLog.GetTitleForQuestID(arg1) or arg2
    elseif event == "PLAYER_TARGET_CHANGED" and UnitExists("target") and not UnitIsPlayer("target") then
        local x, y = GetPlayerMapPosition("player")
        QF_Data.npcs[UnitName("target")] = { x * 100, y * 100 }
    end
end)
